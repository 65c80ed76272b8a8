#pragma once

#ifdef _WIN32

#include "platform/LogonRunList.h"

// Values under HKEY_LOCAL_MACHINE\Software\Microsoft\windows\CurrentVersion\Run. Writing there
// needs administrator rights, which the program's manifest asks for.
class RegistryRunList : public LogonRunList {
 public:
  RunListStatus Read(std::string_view name, std::string& commandLine) override;
  bool Write(std::string_view name, std::string_view commandLine) override;
  bool Remove(std::string_view name) override;
};

#endif
