#include "tests/support/FakeProcessLauncher.h"

FakeProcessLauncher::~FakeProcessLauncher() {
  for (auto& worker : workers)
    if (worker.joinable()) worker.join();
}

bool FakeProcessLauncher::StartHidden(const ProcessRequest& request) {
  started.push_back(request);
  return onStart ? onStart(request) : startsSucceed;
}

bool FakeProcessLauncher::StartWatched(const ProcessRequest& request, std::shared_ptr<std::atomic<bool>> ended) {
  const bool ok = StartHidden(request);
  if (ok && endsAtOnce && ended) ended->store(true);
  return ok;
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
