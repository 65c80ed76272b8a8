#pragma once

#ifdef _WIN32

#include <string_view>

#include "platform/LogonTaskDefinition.h"

// Tasks in the root folder of the Windows Task Scheduler, reached through its COM interface.
// Each call connects afresh; the calling thread may already use COM in either model.
class ScheduledLogonTask {
 public:
  // Creates the task `name`, or replaces it. False when the scheduler refused it.
  static bool Register(std::string_view name, const LogonTaskDefinition& definition);
  // True when no task `name` is left (also when there was none).
  static bool Remove(std::string_view name);
  static bool Exists(std::string_view name);
};

#endif
