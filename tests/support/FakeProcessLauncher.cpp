#include "tests/support/FakeProcessLauncher.h"

bool FakeProcessLauncher::StartHidden(const ProcessRequest& request) {
  started.push_back(request);
  return startsSucceed;
}

ProcessOutcome FakeProcessLauncher::RunHidden(const ProcessRequest& request,
                                              std::chrono::milliseconds) {
  ran.push_back(request);
  if (!onRun) return {};
  return onRun(request);
}

bool FakeProcessLauncher::RunScript(const std::filesystem::path& script) {
  scripts.push_back(script);
  return startsSucceed;
}
