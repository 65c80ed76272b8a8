#include "platform/SystemPlatform.h"

#include <system_error>

#include "platform/StderrMessageSink.h"
#include "platform/linux/LinuxInstanceLock.h"
#include "platform/linux/PosixProcessLauncher.h"
#include "platform/linux/SystemdServiceControl.h"
#include "platform/linux/XdgAutostartList.h"

std::unique_ptr<InstanceLock> CreateSystemInstanceLock() {
  return std::make_unique<LinuxInstanceLock>();
}

std::unique_ptr<LogonRunList> CreateSystemLogonRunList() {
  return std::make_unique<XdgAutostartList>();
}

std::unique_ptr<ServiceControl> CreateSystemServiceControl() {
  return std::make_unique<SystemdServiceControl>(std::make_unique<PosixProcessLauncher>());
}

std::unique_ptr<ProcessLauncher> CreateSystemProcessLauncher() {
  return std::make_unique<PosixProcessLauncher>();
}

std::unique_ptr<MessageSink> CreateSystemMessageSink() {
  return std::make_unique<StderrMessageSink>();
}

std::filesystem::path CurrentProgramFile() {
  std::error_code ec;
  std::filesystem::path file = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path() : file;
}
