#pragma once

#include <string>
#include <string_view>

// The system's per-machine list of programs started when a user logs on. Each entry has a
// name and one command line (program path and its arguments) in UTF-8.
enum class RunListStatus {
  Ok,
  NotFound,  // no entry of that name (or no list at all)
  Failed,    // the list or the entry exists but cannot be read or written
};

class LogonRunList {
 public:
  virtual ~LogonRunList() = default;

  virtual RunListStatus Read(std::string_view name, std::string& commandLine) = 0;
  // Creates or replaces the entry; false when it could not be stored.
  virtual bool Write(std::string_view name, std::string_view commandLine) = 0;
  // True when the entry is gone afterwards (also when there was none).
  virtual bool Remove(std::string_view name) = 0;
};
