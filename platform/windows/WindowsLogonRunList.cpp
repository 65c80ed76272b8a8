#ifdef _WIN32

#include "platform/windows/WindowsLogonRunList.h"

#include "platform/LogonTaskDefinition.h"
#include "platform/windows/ScheduledLogonTask.h"

RunListStatus WindowsLogonRunList::Read(std::string_view name, std::string& commandLine) {
  return runKey_.Read(name, commandLine);
}

bool WindowsLogonRunList::Write(std::string_view name, std::string_view commandLine) {
  const bool runKeyWritten = runKey_.Write(name, commandLine);
  const bool taskRegistered =
      ScheduledLogonTask::Register(name, LogonTaskDefinition::FromCommandLine(commandLine));
  return runKeyWritten && taskRegistered;
}

bool WindowsLogonRunList::Remove(std::string_view name) {
  const bool taskGone = ScheduledLogonTask::Remove(name);
  const bool runKeyGone = runKey_.Remove(name);
  return taskGone && runKeyGone;
}

#endif
