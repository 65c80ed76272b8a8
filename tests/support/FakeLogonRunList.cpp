#include "tests/support/FakeLogonRunList.h"

RunListStatus FakeLogonRunList::Read(std::string_view name, std::string& commandLine) {
  if (readsFail) return RunListStatus::Failed;
  auto it = entries.find(name);
  if (it == entries.end()) return RunListStatus::NotFound;
  commandLine = it->second;
  return RunListStatus::Ok;
}

bool FakeLogonRunList::Write(std::string_view name, std::string_view commandLine) {
  ++writes;
  if (writesFail) return false;
  entries.insert_or_assign(std::string(name), std::string(commandLine));
  return true;
}

bool FakeLogonRunList::Remove(std::string_view name) {
  ++removes;
  if (writesFail) return false;
  auto it = entries.find(name);
  if (it != entries.end()) entries.erase(it);
  return true;
}
