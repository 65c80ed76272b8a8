#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

struct ProcessRequest {
  // A bare name is looked up on the search path; anything else is taken as given.
  std::filesystem::path program;
  std::vector<std::string> args;       // UTF-8, without the program name
  std::filesystem::path workingFolder;  // empty: the caller's current directory
};

struct ProcessOutcome {
  bool started = false;
  bool timedOut = false;  // ended by force after the time allowed
  int exitCode = -1;
  std::string output;  // what it wrote to standard output
};

// Starts other programs without showing a window or a console.
class ProcessLauncher {
 public:
  virtual ~ProcessLauncher() = default;

  // Starts and does not wait. False when the program could not be started.
  virtual bool StartHidden(const ProcessRequest& request) = 0;
  // Starts, collects standard output and waits for the end, at most `timeout`.
  virtual ProcessOutcome RunHidden(const ProcessRequest& request,
                                   std::chrono::milliseconds timeout) = 0;
  // Hands a script file to the system's shell and does not wait.
  virtual bool RunScript(const std::filesystem::path& script) = 0;
};
