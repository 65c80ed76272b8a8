#pragma once

#ifdef _WIN32

#include <string>

#include "platform/ProcessLauncher.h"

// CreateProcess without a window. Scripts go to the shell's "open" verb, shown normally, as a
// batch file the user may want to watch.
class WinProcessLauncher : public ProcessLauncher {
 public:
  bool StartHidden(const ProcessRequest& request) override;
  bool StartWatched(const ProcessRequest& request, std::shared_ptr<std::atomic<bool>> ended) override;
  ProcessOutcome RunHidden(const ProcessRequest& request,
                           std::chrono::milliseconds timeout) override;
  bool RunScript(const std::filesystem::path& script) override;

  // The command line CreateProcess takes, each argument quoted the way the C runtime splits it.
  static std::wstring CommandLine(const ProcessRequest& request);
};

#endif
