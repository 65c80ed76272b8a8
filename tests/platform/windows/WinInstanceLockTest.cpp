// The named mutex between real processes, under Wine or Windows.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "platform/windows/WinInstanceLock.h"
#include "platform/windows/WinProcessLauncher.h"

namespace {

using namespace std::chrono_literals;

std::filesystem::path Probe() { return std::filesystem::absolute(PYX_LOCK_PROBE); }

// A probe that holds the lock until it is ended; its first line says what it got.
class Holder {
 public:
  Holder() {
    SECURITY_ATTRIBUTES sa{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE write = nullptr;
    if (!CreatePipe(&read_, &write, &sa, 0)) return;
    SetHandleInformation(read_, HANDLE_FLAG_INHERIT, 0);
    std::wstring line = WinProcessLauncher::CommandLine({Probe(), {"hold"}, {}});
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = write;
    startup.hStdError = write;
    started_ = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                              &startup, &process_) != FALSE;
    CloseHandle(write);
  }
  ~Holder() {
    if (started_) {
      TerminateProcess(process_.hProcess, 1);
      WaitForSingleObject(process_.hProcess, 5000);
      CloseHandle(process_.hThread);
      CloseHandle(process_.hProcess);
    }
    if (read_) CloseHandle(read_);
  }
  bool started() const { return started_; }

  // The next line it printed, waiting up to ten seconds; empty when none came.
  std::string NextLine() {
    const ULONGLONG deadline = GetTickCount64() + 10000;
    while (pending_.find('\n') == std::string::npos && GetTickCount64() < deadline) {
      DWORD available = 0;
      char buffer[64];
      DWORD got = 0;
      if (PeekNamedPipe(read_, nullptr, 0, nullptr, &available, nullptr) && available > 0 &&
          ReadFile(read_, buffer, sizeof buffer, &got, nullptr)) {
        pending_.append(buffer, got);
      } else {
        Sleep(10);
      }
    }
    const std::size_t end = pending_.find('\n');
    if (end == std::string::npos) return {};
    std::string line = pending_.substr(0, end);
    pending_.erase(0, end + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
  }

  // Ends it as a crash would: nothing of its own runs any more.
  void Kill() {
    TerminateProcess(process_.hProcess, 1);
    WaitForSingleObject(process_.hProcess, 5000);
  }

 private:
  HANDLE read_ = nullptr;
  PROCESS_INFORMATION process_{};
  bool started_ = false;
  std::string pending_;
};

std::string SecondCopySays() {
  WinProcessLauncher launcher;
  const ProcessOutcome outcome = launcher.RunHidden({Probe(), {}, {}}, 20s);
  EXPECT_TRUE(outcome.started);
  EXPECT_EQ(outcome.exitCode, 0);
  return outcome.output.substr(0, outcome.output.find_first_of("\r\n"));
}

}  // namespace

TEST(WinInstanceLock, OneHolderAtATimeAsksTheHolderForItsWindowAndTheLockGoesWithAHolderThatDies) {
  Holder first;
  ASSERT_TRUE(first.started()) << Probe();
  ASSERT_EQ(first.NextLine(), "Acquired");

  EXPECT_EQ(SecondCopySays(), "HeldBySameUser");
  {
    WinInstanceLock here;
    EXPECT_EQ(here.Acquire(), InstanceLockResult::HeldBySameUser);
    EXPECT_EQ(here.Acquire(), InstanceLockResult::HeldBySameUser) << "asked again: the first answer";
    EXPECT_TRUE(here.ActivateFirstCopy());
    EXPECT_EQ(first.NextLine(), "activated") << "the holder's own loop shows its window";
  }

  first.Kill();
  WinInstanceLock after;
  EXPECT_FALSE(after.ActivateFirstCopy()) << "a dead holder has no window to ask";
  EXPECT_EQ(after.Acquire(), InstanceLockResult::Acquired) << "a dead holder leaves the lock free";
  EXPECT_EQ(SecondCopySays(), "HeldBySameUser") << "and this process now holds it";
}
