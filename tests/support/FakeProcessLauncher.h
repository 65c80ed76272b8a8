#pragma once

#include <filesystem>
#include <functional>
#include <thread>
#include <vector>

#include "platform/ProcessLauncher.h"

// Records what would have been started; StartHidden answers through `onStart` where it is
// set, RunHidden through `onRun`.
class FakeProcessLauncher : public ProcessLauncher {
 public:
  ~FakeProcessLauncher() override;
  bool StartHidden(const ProcessRequest& request) override;
  // As StartHidden; the program ends at once after its start when endsAtOnce is set.
  bool StartWatched(const ProcessRequest& request, std::shared_ptr<std::atomic<bool>> ended) override;
  ProcessOutcome RunHidden(const ProcessRequest& request,
                           std::chrono::milliseconds timeout) override;
  bool RunScript(const std::filesystem::path& script) override;

  bool startsSucceed = true;
  bool endsAtOnce = false;
  // Set: its answer is whether the program started. Work it spawns runs on `workers`, which
  // the launcher joins when it goes.
  std::function<bool(const ProcessRequest&)> onStart;
  std::vector<std::thread> workers;
  // Unset: every run reports "not started".
  std::function<ProcessOutcome(const ProcessRequest&)> onRun;

  std::vector<ProcessRequest> started;
  std::vector<ProcessRequest> ran;
  std::vector<std::filesystem::path> scripts;
};
