#pragma once

#include <map>
#include <string>

#include "platform/LogonRunList.h"

// In-memory log-on list with switchable failures.
class FakeLogonRunList : public LogonRunList {
 public:
  RunListStatus Read(std::string_view name, std::string& commandLine) override;
  bool Write(std::string_view name, std::string_view commandLine) override;
  bool Remove(std::string_view name) override;

  std::map<std::string, std::string, std::less<>> entries;
  bool readsFail = false;
  bool writesFail = false;
  int writes = 0;
  int removes = 0;
};
