#include "platform/linux/LinuxInstanceLock.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr uid_t kNobody = 65534;

// A lock name of this test alone, so a running program or a parallel test never meets it.
std::string UniqueName() {
  static std::atomic<int> serial{0};
  return "PYXTUNE_test_" + std::to_string(getpid()) + "_" + std::to_string(serial++);
}

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

// Each child waits for the parent's go, tries the lock (as asUser, with runtimeDir as its
// own $XDG_RUNTIME_DIR when given), holds it a while when it got it, and reports the
// outcome as its exit status, plus 10 when it reached a first copy to activate.
pid_t ForkContender(const std::string& name, const int go[2], int holdMs, uid_t asUser,
                    const char* runtimeDir = nullptr) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  close(go[1]);  // or the pipe never reports its end
  const int goFd = go[0];
  if (runtimeDir != nullptr) setenv("XDG_RUNTIME_DIR", runtimeDir, 1);
  if (asUser != static_cast<uid_t>(-1) && (setgid(asUser) != 0 || setuid(asUser) != 0)) _exit(99);
  char signal;
  if (read(goFd, &signal, 1) < 0) _exit(98);
  int code;
  {
    LinuxInstanceLock lock(name);
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

// Starts a contender at once (no go signal to wait for).
int Contend(const std::string& name, uid_t asUser, const char* runtimeDir = nullptr) {
  int go[2];
  if (pipe(go) != 0) return -1;
  const pid_t pid = ForkContender(name, go, 0, asUser, runtimeDir);
  close(go[0]);
  close(go[1]);
  return ExitCode(pid);
}

// A copy in a child process (as asUser) that takes the lock and keeps it until `release`
// is called or it is killed; pid is -1 when it did not get the lock.
struct HeldInChild {
  pid_t pid = -1;
  int releaseFd = -1;
  void release() {
    if (releaseFd >= 0) close(releaseFd);
    releaseFd = -1;
  }
};

HeldInChild HoldInChild(const std::string& name, uid_t asUser, const char* runtimeDir = nullptr) {
  int ready[2];
  int hold[2];
  if (pipe(ready) != 0 || pipe(hold) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {
    close(ready[0]);
    close(hold[1]);
    if (runtimeDir != nullptr) setenv("XDG_RUNTIME_DIR", runtimeDir, 1);
    if (asUser != static_cast<uid_t>(-1) && (setgid(asUser) != 0 || setuid(asUser) != 0)) _exit(99);
    LinuxInstanceLock lock(name);
    const char got = lock.Acquire() == InstanceLockResult::Acquired ? 'y' : 'n';
    if (write(ready[1], &got, 1) != 1) _exit(1);
    char none;
    while (read(hold[0], &none, 1) > 0) {
    }
    _exit(0);
  }
  close(ready[1]);
  close(hold[0]);
  char got = 0;
  const bool held = read(ready[0], &got, 1) == 1 && got == 'y';
  close(ready[0]);
  if (!held) {
    close(hold[1]);
    waitpid(pid, nullptr, 0);
    return {};
  }
  return {pid, hold[1]};
}

}  // namespace

TEST(LinuxInstanceLock, TheLaterStartsActivationTokenReachesTheFirstCopy) {
  // On Wayland only the token the launcher gave the later start may bring a window forward.
  const std::string name = UniqueName();
  LinuxInstanceLock first(name);
  std::mutex m;
  std::vector<std::string> tokens;
  first.SetActivationHandler([&](const std::string& token) {
    std::lock_guard lock(m);
    tokens.push_back(token);
  });
  ASSERT_EQ(first.Acquire(), InstanceLockResult::Acquired);
  LinuxInstanceLock second(name);
  ASSERT_EQ(second.Acquire(), InstanceLockResult::HeldBySameUser);

  ASSERT_EQ(setenv("XDG_ACTIVATION_TOKEN", "kwin-4711_TIME123", 1), 0);
  EXPECT_TRUE(second.ActivateFirstCopy());
  ASSERT_EQ(setenv("XDG_ACTIVATION_TOKEN", std::string(300, 'x').c_str(), 1), 0);
  EXPECT_TRUE(second.ActivateFirstCopy()) << "a token too long to pass on still activates";
  unsetenv("XDG_ACTIVATION_TOKEN");
  EXPECT_TRUE(second.ActivateFirstCopy());

  std::lock_guard lock(m);
  EXPECT_EQ(tokens, (std::vector<std::string>{"kwin-4711_TIME123", "", ""}));
}

TEST(LinuxInstanceLock, SecondLockOfSameUserSeesFirstAndActivatesIt) {
  const std::string name = UniqueName();
  LinuxInstanceLock first(name);
  std::atomic<int> activations{0};
  first.SetActivationHandler([&](const std::string&) { ++activations; });
  ASSERT_EQ(first.Acquire(), InstanceLockResult::Acquired);
  EXPECT_EQ(first.Acquire(), InstanceLockResult::Acquired) << "a second call repeats the outcome";
  EXPECT_FALSE(first.ActivateFirstCopy()) << "the holder has nobody to activate";

  LinuxInstanceLock second(name);
  EXPECT_EQ(second.Acquire(), InstanceLockResult::HeldBySameUser);
  EXPECT_EQ(activations.load(), 0) << "asking who holds the lock is no activation";
  EXPECT_TRUE(second.ActivateFirstCopy());
  EXPECT_EQ(activations.load(), 1);
  EXPECT_TRUE(second.ActivateFirstCopy());
  EXPECT_EQ(activations.load(), 2);
}

TEST(LinuxInstanceLock, LockIsFreeAgainWhenTheHolderEnds) {
  const std::string name = UniqueName();
  {
    LinuxInstanceLock first(name);
    ASSERT_EQ(first.Acquire(), InstanceLockResult::Acquired);
  }
  LinuxInstanceLock next(name);
  EXPECT_EQ(next.Acquire(), InstanceLockResult::Acquired);
}

TEST(LinuxInstanceLock, ACrashedHolderLeavesNothingThatStopsTheNextStart) {
  const std::string name = UniqueName();
  HeldInChild holder = HoldInChild(name, -1);
  ASSERT_GT(holder.pid, 0);
  EXPECT_EQ(Contend(name, -1), static_cast<int>(InstanceLockResult::HeldBySameUser) + 10)
      << "while it runs it is found and answers";
  kill(holder.pid, SIGKILL);  // no destructor runs
  waitpid(holder.pid, nullptr, 0);
  holder.release();

  LinuxInstanceLock next(name);
  EXPECT_EQ(next.Acquire(), InstanceLockResult::Acquired);
  std::atomic<int> activations{0};
  next.SetActivationHandler([&](const std::string&) { ++activations; });
  EXPECT_EQ(Contend(name, -1), static_cast<int>(InstanceLockResult::HeldBySameUser) + 10);
  EXPECT_EQ(activations.load(), 1);
}

TEST(LinuxInstanceLock, ANameThatCannotBeBoundLeavesNoLock) {
  LinuxInstanceLock lock(std::string(200, 'x'));
  EXPECT_EQ(lock.Acquire(), InstanceLockResult::Unavailable);
  EXPECT_FALSE(lock.ActivateFirstCopy());
}

TEST(LinuxInstanceLock, StartsAtOnceLeaveExactlyOneRunning) {
  const std::string name = UniqueName();
  int go[2];
  ASSERT_EQ(pipe(go), 0);
  std::vector<pid_t> children;
  for (int i = 0; i < 5; ++i) children.push_back(ForkContender(name, go, 600, -1));
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
  const std::string name = UniqueName();
  LinuxInstanceLock mine(name);
  std::atomic<int> activations{0};
  mine.SetActivationHandler([&](const std::string&) { ++activations; });
  ASSERT_EQ(mine.Acquire(), InstanceLockResult::Acquired);

  EXPECT_EQ(Contend(name, kNobody), static_cast<int>(InstanceLockResult::HeldByOtherUser))
      << "and no activation acknowledged";
  EXPECT_EQ(activations.load(), 0);
}

// Each user's session has a runtime folder of its own; the lock must not live in one.
TEST(LinuxInstanceLock, TwoUsersWithTheirOwnRuntimeFoldersMeetOneLock) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to start a copy as another user";
  TempFolder rootRuntime, userRuntime;
  ASSERT_EQ(chown(userRuntime.path().c_str(), kNobody, kNobody), 0);
  ASSERT_EQ(chmod(userRuntime.path().c_str(), 0700), 0);
  const char* saved = std::getenv("XDG_RUNTIME_DIR");
  const std::string keep = saved ? saved : "";
  setenv("XDG_RUNTIME_DIR", rootRuntime.path().c_str(), 1);

  const std::string name = UniqueName();
  {
    // root first, then the user: the user is told another user runs it.
    LinuxInstanceLock rootCopy(name);
    ASSERT_EQ(rootCopy.Acquire(), InstanceLockResult::Acquired);
    EXPECT_EQ(Contend(name, kNobody, userRuntime.path().c_str()),
              static_cast<int>(InstanceLockResult::HeldByOtherUser));
  }
  {
    // The user first; root's start meets it.
    HeldInChild user = HoldInChild(name, kNobody, userRuntime.path().c_str());
    ASSERT_GT(user.pid, 0);
    LinuxInstanceLock rootCopy(name);
    EXPECT_EQ(rootCopy.Acquire(), InstanceLockResult::HeldByOtherUser);
    EXPECT_FALSE(rootCopy.ActivateFirstCopy()) << "root does not raise a user's window";
    user.release();
    EXPECT_EQ(ExitCode(user.pid), 0);
  }
  if (saved) {
    setenv("XDG_RUNTIME_DIR", keep.c_str(), 1);
  } else {
    unsetenv("XDG_RUNTIME_DIR");
  }
}
