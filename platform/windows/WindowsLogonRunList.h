#pragma once

#ifdef _WIN32

#include "platform/LogonRunList.h"
#include "platform/windows/RegistryRunList.h"

// The log-on list of an elevated program: the machine's Run key, which other tools read and
// which the command line is read back from, and beside it a scheduled task of the same name
// that starts the program with its administrator rights (Windows skips an elevated program
// in the Run key). Both are written and removed together.
class WindowsLogonRunList : public LogonRunList {
 public:
  RunListStatus Read(std::string_view name, std::string& commandLine) override;
  // False when either could not be stored; the Run entry written stays.
  bool Write(std::string_view name, std::string_view commandLine) override;
  // True when both are gone.
  bool Remove(std::string_view name) override;

 private:
  RegistryRunList runKey_;
};

#endif
