#include "platform/linux/LinuxInstanceLock.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <vector>

namespace {

class TempFolder {
 public:
  TempFolder() {
    char pattern[] = "/tmp/pyxlockXXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Each child waits for the parent's go, tries the lock, holds it a while when it got it, and
// reports the outcome as its exit status.
pid_t ForkContender(const std::filesystem::path& folder, const int go[2], int holdMs,
                    uid_t asUser) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  close(go[1]);  // or the pipe never reports its end
  const int goFd = go[0];
  if (asUser != static_cast<uid_t>(-1) && (setgid(asUser) != 0 || setuid(asUser) != 0)) _exit(99);
  char signal;
  if (read(goFd, &signal, 1) < 0) _exit(98);
  int code;
  {
    LinuxInstanceLock lock(folder);
    const InstanceLockResult result = lock.Acquire();
    code = static_cast<int>(result);
    if (result == InstanceLockResult::Acquired) usleep(holdMs * 1000);
    if (result != InstanceLockResult::Acquired && lock.ActivateFirstCopy()) code += 10;
  }
  _exit(code);
}

int ExitCode(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(LinuxInstanceLock, SecondLockOfSameUserSeesFirstAndActivatesIt) {
  TempFolder folder;
  LinuxInstanceLock first(folder.path());
  std::atomic<int> activations{0};
  first.SetActivationHandler([&] { ++activations; });
  ASSERT_EQ(first.Acquire(), InstanceLockResult::Acquired);
  EXPECT_EQ(first.Acquire(), InstanceLockResult::Acquired) << "a second call repeats the outcome";
  EXPECT_FALSE(first.ActivateFirstCopy()) << "the holder has nobody to activate";

  LinuxInstanceLock second(folder.path());
  EXPECT_EQ(second.Acquire(), InstanceLockResult::HeldBySameUser);
  EXPECT_EQ(activations.load(), 0) << "asking who holds the lock is no activation";
  EXPECT_TRUE(second.ActivateFirstCopy());
  EXPECT_EQ(activations.load(), 1);
  EXPECT_TRUE(second.ActivateFirstCopy());
  EXPECT_EQ(activations.load(), 2);
}

TEST(LinuxInstanceLock, LockIsFreeAgainWhenTheHolderEnds) {
  TempFolder folder;
  {
    LinuxInstanceLock first(folder.path());
    ASSERT_EQ(first.Acquire(), InstanceLockResult::Acquired);
    EXPECT_TRUE(std::filesystem::exists(first.socketFile()));
  }
  LinuxInstanceLock next(folder.path());
  EXPECT_EQ(next.Acquire(), InstanceLockResult::Acquired);
}

TEST(LinuxInstanceLock, LeftoverSocketFileOfACrashedCopyIsReplaced) {
  TempFolder folder;
  LinuxInstanceLock first(folder.path());
  std::ofstream(first.socketFile()) << "stale";
  ASSERT_EQ(first.Acquire(), InstanceLockResult::Acquired);
  bool activated = false;
  first.SetActivationHandler([&] { activated = true; });
  LinuxInstanceLock second(folder.path());
  EXPECT_EQ(second.Acquire(), InstanceLockResult::HeldBySameUser);
  EXPECT_TRUE(second.ActivateFirstCopy());
  EXPECT_TRUE(activated);
}

TEST(LinuxInstanceLock, MissingFolderLeavesNoLock) {
  LinuxInstanceLock lock("/nonexistent/pyxtune-folder");
  EXPECT_EQ(lock.Acquire(), InstanceLockResult::Unavailable);
  EXPECT_FALSE(lock.ActivateFirstCopy());
}

TEST(LinuxInstanceLock, StartsAtOnceLeaveExactlyOneRunning) {
  TempFolder folder;
  int go[2];
  ASSERT_EQ(pipe(go), 0);
  std::vector<pid_t> children;
  for (int i = 0; i < 5; ++i) children.push_back(ForkContender(folder.path(), go, 600, -1));
  close(go[0]);
  close(go[1]);  // every child's read returns now: all start together

  int holders = 0;
  int activatedOthers = 0;
  for (pid_t child : children) {
    const int code = ExitCode(child);
    if (code == static_cast<int>(InstanceLockResult::Acquired)) {
      ++holders;
    } else {
      EXPECT_EQ(code % 10, static_cast<int>(InstanceLockResult::HeldBySameUser)) << code;
      if (code >= 10) ++activatedOthers;
    }
  }
  EXPECT_EQ(holders, 1);
  EXPECT_EQ(activatedOthers, 4) << "every later start reached the first copy";
}

TEST(LinuxInstanceLock, CopyOfAnotherUserIsToldApartAndCannotActivate) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to start a copy as another user";
  TempFolder folder;
  ASSERT_EQ(chmod(folder.path().c_str(), 01777), 0);
  LinuxInstanceLock mine(folder.path());
  std::atomic<int> activations{0};
  mine.SetActivationHandler([&] { ++activations; });
  ASSERT_EQ(mine.Acquire(), InstanceLockResult::Acquired);

  int go[2];
  ASSERT_EQ(pipe(go), 0);
  const pid_t other = ForkContender(folder.path(), go, 0, 65534);
  close(go[0]);
  close(go[1]);
  EXPECT_EQ(ExitCode(other), static_cast<int>(InstanceLockResult::HeldByOtherUser))
      << "and no activation acknowledged";
  EXPECT_EQ(activations.load(), 0);
}

TEST(LinuxInstanceLock, DefaultFolderFollowsRuntimeDirectory) {
  const char* saved = std::getenv("XDG_RUNTIME_DIR");
  const std::string keep = saved ? saved : "";
  TempFolder folder;
  setenv("XDG_RUNTIME_DIR", folder.path().c_str(), 1);
  EXPECT_EQ(LinuxInstanceLock::DefaultFolder(), folder.path());
  setenv("XDG_RUNTIME_DIR", "/nonexistent/runtime", 1);
  EXPECT_EQ(LinuxInstanceLock::DefaultFolder(), "/tmp");
  unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(LinuxInstanceLock::DefaultFolder(), "/tmp");
  if (saved) setenv("XDG_RUNTIME_DIR", keep.c_str(), 1);
}
