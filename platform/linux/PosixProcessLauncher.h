#pragma once

#include "platform/ProcessLauncher.h"

// Starts programs with posix_spawn, standard input from /dev/null. Programs started without
// waiting write into /dev/null and are reaped in the background, so they leave no zombies.
class PosixProcessLauncher : public ProcessLauncher {
 public:
  bool StartHidden(const ProcessRequest& request) override;
  bool StartWatched(const ProcessRequest& request, std::shared_ptr<std::atomic<bool>> ended) override;
  ProcessOutcome RunHidden(const ProcessRequest& request,
                           std::chrono::milliseconds timeout) override;
  // The script goes to /bin/sh, as the system shell would run it.
  bool RunScript(const std::filesystem::path& script) override;
};
