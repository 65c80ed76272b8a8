#pragma once

#include <string>
#include <string_view>

// A task for the system's task scheduler that starts a program when any user logs on, with
// the highest rights that user has. Windows does not start a program that asks for
// administrator rights from the Run key at log-on; such a task does. Paths are UTF-8.
class LogonTaskDefinition {
 public:
  LogonTaskDefinition(std::string program, std::string arguments);

  // From a log-on command line: a program path in double quotes, or, unquoted, everything
  // before the last blank; the rest after one blank are the arguments.
  static LogonTaskDefinition FromCommandLine(std::string_view commandLine);

  const std::string& program() const { return program_; }
  const std::string& arguments() const { return arguments_; }

  // The task in the task scheduler's XML form, as UTF-8 text (declared UTF-16: the caller
  // hands it over as UTF-16).
  std::string Xml() const;

 private:
  std::string program_;
  std::string arguments_;
};
