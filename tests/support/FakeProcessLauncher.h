#pragma once

#include <filesystem>
#include <functional>
#include <vector>

#include "platform/ProcessLauncher.h"

// Records what would have been started; RunHidden answers through `onRun`.
class FakeProcessLauncher : public ProcessLauncher {
 public:
  bool StartHidden(const ProcessRequest& request) override;
  ProcessOutcome RunHidden(const ProcessRequest& request,
                           std::chrono::milliseconds timeout) override;
  bool RunScript(const std::filesystem::path& script) override;

  bool startsSucceed = true;
  // Unset: every run reports "not started".
  std::function<ProcessOutcome(const ProcessRequest&)> onRun;

  std::vector<ProcessRequest> started;
  std::vector<ProcessRequest> ran;
  std::vector<std::filesystem::path> scripts;
};
