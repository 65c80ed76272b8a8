#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
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
  // The same, and `ended` is set once the program has ended, so that a caller waiting for
  // what it writes can stop waiting when nothing more will come. A launcher that cannot tell
  // never sets it.
  virtual bool StartWatched(const ProcessRequest& request, std::shared_ptr<std::atomic<bool>> ended) {
    (void)ended;
    return StartHidden(request);
  }
  // Starts, collects standard output and waits for the end, at most `timeout`.
  virtual ProcessOutcome RunHidden(const ProcessRequest& request,
                                   std::chrono::milliseconds timeout) = 0;
  // Hands a script file to the system's shell and does not wait.
  virtual bool RunScript(const std::filesystem::path& script) = 0;
};
