#include "platform/linux/LinuxInstanceLock.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr uid_t kNobody = 65534;
namespace fs = std::filesystem;

class TempFolder {
 public:
  TempFolder() {
    char pattern[] = "/tmp/pyxlockXXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~TempFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// The lock of this test alone, in a folder of its own, so a running program or a parallel test
// never meets it.
struct TestPlace {
  TempFolder root;
  LinuxInstanceLock::Place place{root.path() / "pyxtune", geteuid(), 0700};
};

// Each child waits for the parent's go, tries the lock (as asUser), holds it a while when it
// got it, and reports the outcome as its exit status, plus 10 when it reached a first copy to
// activate.
pid_t ForkContender(const LinuxInstanceLock::Place& place, const int go[2], int holdMs, uid_t asUser) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  close(go[1]);  // or the pipe never reports its end
  const int goFd = go[0];
  if (asUser != static_cast<uid_t>(-1) && (setgid(asUser) != 0 || setuid(asUser) != 0)) _exit(99);
  char signal;
  if (read(goFd, &signal, 1) < 0) _exit(98);
  int code;
  {
    LinuxInstanceLock lock(place);
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
int Contend(const LinuxInstanceLock::Place& place, uid_t asUser) {
  int go[2];
  if (pipe(go) != 0) return -1;
  const pid_t pid = ForkContender(place, go, 0, asUser);
  close(go[0]);
  close(go[1]);
  return ExitCode(pid);
}

// A copy in a child process that takes the lock and keeps it until `release` is called or it
// is killed; pid is -1 when it did not get the lock.
struct HeldInChild {
  pid_t pid = -1;
  int releaseFd = -1;
  void release() {
    if (releaseFd >= 0) close(releaseFd);
    releaseFd = -1;
  }
};

HeldInChild HoldInChild(const LinuxInstanceLock::Place& place) {
  int ready[2];
  int hold[2];
  if (pipe(ready) != 0 || pipe(hold) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {
    close(ready[0]);
    close(hold[1]);
    LinuxInstanceLock lock(place);
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
  TestPlace at;
  LinuxInstanceLock first(at.place);
  std::mutex m;
  std::vector<std::string> tokens;
  first.SetActivationHandler([&](const std::string& token) {
    std::lock_guard lock(m);
    tokens.push_back(token);
  });
  ASSERT_EQ(first.Acquire(), InstanceLockResult::Acquired);
  LinuxInstanceLock second(at.place);
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
  TestPlace at;
  LinuxInstanceLock first(at.place);
  std::atomic<int> activations{0};
  first.SetActivationHandler([&](const std::string&) { ++activations; });
  ASSERT_EQ(first.Acquire(), InstanceLockResult::Acquired);
  EXPECT_EQ(first.Acquire(), InstanceLockResult::Acquired) << "a second call repeats the outcome";
  EXPECT_FALSE(first.ActivateFirstCopy()) << "the holder has nobody to activate";

  LinuxInstanceLock second(at.place);
  EXPECT_EQ(second.Acquire(), InstanceLockResult::HeldBySameUser);
  EXPECT_EQ(activations.load(), 0) << "asking who holds the lock is no activation";
  EXPECT_TRUE(second.ActivateFirstCopy());
  EXPECT_EQ(activations.load(), 1);
  EXPECT_TRUE(second.ActivateFirstCopy());
  EXPECT_EQ(activations.load(), 2);
}

TEST(LinuxInstanceLock, LockIsFreeAgainWhenTheHolderEnds) {
  TestPlace at;
  {
    LinuxInstanceLock first(at.place);
    ASSERT_EQ(first.Acquire(), InstanceLockResult::Acquired);
  }
  LinuxInstanceLock next(at.place);
  EXPECT_EQ(next.Acquire(), InstanceLockResult::Acquired);
}

TEST(LinuxInstanceLock, ACrashedHolderLeavesNothingThatStopsTheNextStart) {
  TestPlace at;
  HeldInChild holder = HoldInChild(at.place);
  ASSERT_GT(holder.pid, 0);
  EXPECT_EQ(Contend(at.place, -1), static_cast<int>(InstanceLockResult::HeldBySameUser) + 10)
      << "while it runs it is found and answers";
  kill(holder.pid, SIGKILL);  // no destructor runs
  waitpid(holder.pid, nullptr, 0);
  holder.release();

  LinuxInstanceLock next(at.place);
  EXPECT_EQ(next.Acquire(), InstanceLockResult::Acquired);
  std::atomic<int> activations{0};
  next.SetActivationHandler([&](const std::string&) { ++activations; });
  EXPECT_EQ(Contend(at.place, -1), static_cast<int>(InstanceLockResult::HeldBySameUser) + 10);
  EXPECT_EQ(activations.load(), 1);
}

TEST(LinuxInstanceLock, StartsAtOnceLeaveExactlyOneRunning) {
  TestPlace at;
  int go[2];
  ASSERT_EQ(pipe(go), 0);
  std::vector<pid_t> children;
  for (int i = 0; i < 5; ++i) children.push_back(ForkContender(at.place, go, 600, -1));
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

// A lock in a place others can arrange is never used: the program then runs unguarded and says
// why, rather than take a lock another user made for it.
TEST(LinuxInstanceLock, APlaceThatIsNotSafeIsNotUsed) {
  struct Row {
    const char* what;
    bool needsRoot;
    void (*arrange)(const fs::path& folder, const fs::path& elsewhere);
  };
  const Row rows[] = {
      {"folder is a link", false, [](const fs::path& f, const fs::path& e) { fs::create_directory_symlink(e, f); }},
      {"folder writable by others", false,
       [](const fs::path& f, const fs::path&) {
         fs::create_directory(f);
         chmod(f.c_str(), 0777);
       }},
      {"folder of another user", true,
       [](const fs::path& f, const fs::path&) {
         fs::create_directory(f);
         ASSERT_EQ(chown(f.c_str(), kNobody, kNobody), 0);
       }},
      {"lock file is a link", false,
       [](const fs::path& f, const fs::path& e) {
         fs::create_directory(f);
         fs::create_symlink(e / "victim", f / "window.lock");
       }},
      {"lock file of another user", true,
       [](const fs::path& f, const fs::path&) {
         fs::create_directory(f);
         const fs::path lock = f / "window.lock";
         FILE* made = fopen(lock.c_str(), "w");
         ASSERT_NE(made, nullptr);
         fclose(made);
         ASSERT_EQ(chown(lock.c_str(), kNobody, kNobody), 0);
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    if (row.needsRoot && geteuid() != 0) continue;
    TestPlace at;
    const fs::path elsewhere = at.root.path() / "elsewhere";
    fs::create_directory(elsewhere);
    row.arrange(at.place.folder, elsewhere);
    LinuxInstanceLock lock(at.place);
    EXPECT_EQ(lock.Acquire(), InstanceLockResult::Unavailable);
    EXPECT_NE(lock.Problem().find(at.place.folder.string()), std::string::npos) << lock.Problem();
    EXPECT_FALSE(lock.ActivateFirstCopy());
    EXPECT_FALSE(fs::exists(elsewhere / "victim")) << "nothing made through a link";
    EXPECT_FALSE(fs::exists(elsewhere / "window.sock"));
  }
}

// A copy in a child process run as nobody contends for root's lock and reports through its exit status: the outcome, plus 10 when it named root as the holder.
int ContendAsNobody(const LinuxInstanceLock::Place& place) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(99);
    LinuxInstanceLock lock(place);
    const InstanceLockResult result = lock.Acquire();
    if (result == InstanceLockResult::Acquired) _exit(0);
    _exit(static_cast<int>(result) + (lock.HolderName() == "root" ? 10 : 0) + (lock.ActivateFirstCopy() ? 20 : 0));
  }
  return ExitCode(pid);
}

TEST(LinuxInstanceLock, AnotherUserCanNeitherTakeNorBlockRootsLock) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to start a copy as another user";
  TempFolder run;
  // As the program's own folder under /run: root's, readable by all.
  const LinuxInstanceLock::Place place{run.path() / "pyxtune", 0, 0755};
  ASSERT_EQ(chmod(run.path().c_str(), 0755), 0);

  // What any user could bind: a name in the abstract namespace every user shares, which the
  // program's lock once was.
  const int squat = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string oldName = "PYXTUNE_App_Mutex";
  std::memcpy(address.sun_path + 1, oldName.data(), oldName.size());
  // Taken already (by a copy of an older build) is the same situation.
  (void)bind(squat, reinterpret_cast<sockaddr*>(&address),
             static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + oldName.size()));

  // Before root's copy runs nobody can make the lock; then root takes it.
  LinuxInstanceLock mine(place);
  std::atomic<int> activations{0};
  mine.SetActivationHandler([&](const std::string&) { ++activations; });
  EXPECT_EQ(ContendAsNobody(place), static_cast<int>(InstanceLockResult::Unavailable));
  ASSERT_EQ(mine.Acquire(), InstanceLockResult::Acquired);
  struct stat about {};
  ASSERT_EQ(stat((place.folder / "window.lock").c_str(), &about), 0);
  EXPECT_EQ(about.st_uid, 0u);
  EXPECT_EQ(about.st_mode & 0777, 0600u);

  // While it runs nobody learns who holds it and cannot raise its window.
  EXPECT_EQ(ContendAsNobody(place), static_cast<int>(InstanceLockResult::HeldByOtherUser) + 10);
  EXPECT_EQ(activations.load(), 0);
  close(squat);
}

// Any other user's copy is one per user session, beside root's copy and the others'.
TEST(LinuxInstanceLock, EachUsersSessionLockStandsApartFromRootsLock) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to start a copy as another user";
  TempFolder run, userRuntime;
  ASSERT_EQ(chown(userRuntime.path().c_str(), kNobody, kNobody), 0);
  ASSERT_EQ(chmod(userRuntime.path().c_str(), 0700), 0);
  const LinuxInstanceLock::Place rootPlace{run.path() / "pyxtune", 0, 0755};
  const LinuxInstanceLock::Place userPlace{userRuntime.path() / "pyxtune", kNobody, 0700};

  // root's copy in a process of its own: this one stays single-threaded for the user's fork.
  HeldInChild rootCopy = HoldInChild(rootPlace);
  ASSERT_GT(rootCopy.pid, 0);
  int go[2];
  ASSERT_EQ(pipe(go), 0);
  const pid_t user = ForkContender(userPlace, go, 300, kNobody);
  close(go[0]);
  close(go[1]);
  EXPECT_EQ(ExitCode(user), static_cast<int>(InstanceLockResult::Acquired));
  EXPECT_EQ(Contend(userPlace, kNobody), static_cast<int>(InstanceLockResult::Acquired))
      << "free again once the user's copy ended";
  EXPECT_EQ(Contend(rootPlace, -1), static_cast<int>(InstanceLockResult::HeldBySameUser) + 10)
      << "root's copy ran on beside the user's";
  rootCopy.release();
  EXPECT_EQ(ExitCode(rootCopy.pid), 0);
}
