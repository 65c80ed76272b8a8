#include "platform/linux/PosixProcessLauncher.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

extern char** environ;

namespace {

// posix_spawn's file actions, freed on every path out.
class FileActions {
 public:
  FileActions() { ok_ = posix_spawn_file_actions_init(&actions_) == 0; }
  ~FileActions() {
    if (ok_) posix_spawn_file_actions_destroy(&actions_);
  }
  FileActions(const FileActions&) = delete;
  FileActions& operator=(const FileActions&) = delete;
  bool ok() const { return ok_; }
  posix_spawn_file_actions_t* get() { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_{};
  bool ok_ = false;
};

// stdoutFd < 0: standard output goes to /dev/null as well.
pid_t Spawn(const ProcessRequest& request, int stdoutFd, int closeFd) {
  FileActions actions;
  if (!actions.ok()) return -1;
  posix_spawn_file_actions_addopen(actions.get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  if (stdoutFd >= 0) {
    posix_spawn_file_actions_adddup2(actions.get(), stdoutFd, STDOUT_FILENO);
  } else {
    posix_spawn_file_actions_addopen(actions.get(), STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  }
  posix_spawn_file_actions_addopen(actions.get(), STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  if (closeFd >= 0) posix_spawn_file_actions_addclose(actions.get(), closeFd);
  if (!request.workingFolder.empty()) {
    posix_spawn_file_actions_addchdir_np(actions.get(), request.workingFolder.c_str());
  }

  const std::string program = request.program.string();
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const auto& arg : request.args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  pid_t pid = -1;
  const bool bare = program.find('/') == std::string::npos;
  const int rc = bare ? posix_spawnp(&pid, program.c_str(), actions.get(), nullptr, argv.data(),
                                     environ)
                      : posix_spawn(&pid, program.c_str(), actions.get(), nullptr, argv.data(),
                                    environ);
  return rc == 0 ? pid : -1;
}

void ReapInBackground(pid_t pid, std::shared_ptr<std::atomic<bool>> ended = nullptr) {
  std::thread([pid, ended = std::move(ended)] {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (ended) ended->store(true);
  }).detach();
}

}  // namespace

bool PosixProcessLauncher::StartHidden(const ProcessRequest& request) {
  return StartWatched(request, nullptr);
}

bool PosixProcessLauncher::StartWatched(const ProcessRequest& request, std::shared_ptr<std::atomic<bool>> ended) {
  const pid_t pid = Spawn(request, -1, -1);
  if (pid < 0) return false;
  ReapInBackground(pid, std::move(ended));
  return true;
}

ProcessOutcome PosixProcessLauncher::RunHidden(const ProcessRequest& request,
                                               std::chrono::milliseconds timeout) {
  ProcessOutcome outcome;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return outcome;
  const pid_t pid = Spawn(request, fds[1], fds[0]);
  close(fds[1]);
  if (pid < 0) {
    close(fds[0]);
    return outcome;
  }

  const auto deadline = std::chrono::steady_clock::now() + timeout;
  char buffer[4096];
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      outcome.timedOut = true;
      break;
    }
    pollfd p{fds[0], POLLIN, 0};
    const int ready = poll(&p, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) {
      outcome.timedOut = ready == 0;
      break;
    }
    const ssize_t n = read(fds[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // end of output: the program closed it or ended
    outcome.output.append(buffer, static_cast<std::size_t>(n));
  }
  close(fds[0]);
  if (outcome.timedOut) kill(pid, SIGKILL);

  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return outcome;
  }
  outcome.started = true;
  outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return outcome;
}

bool PosixProcessLauncher::RunScript(const std::filesystem::path& script) {
  return StartHidden({"/bin/sh", {script.string()}, {}});
}
