#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/AuthAgent.h"

extern char** environ;

namespace pyx {

namespace {

// How long the agent may take to register with the authority before the request goes without.
constexpr int kRegisterWaitMs = 3000;
constexpr int kNotifyFd = 3;

// polkit's text agent for one process, run beside it and ended with it.
class TerminalAuthAgent final : public AuthAgent {
public:
    explicit TerminalAuthAgent(pid_t pid) : pid_(pid) {}
    // The agent ended and was reaped: nothing is left to end.
    void Forget() { pid_ = -1; }
    ~TerminalAuthAgent() override {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
    }

private:
    pid_t pid_;
};

}  // namespace

std::optional<std::filesystem::path> AuthAgent::Find() {
    const char* path = std::getenv("PATH");
    std::string_view folders = path != nullptr ? path : "/usr/bin:/bin";
    while (!folders.empty()) {
        const size_t colon = folders.find(':');
        const std::filesystem::path candidate = std::filesystem::path(folders.substr(0, colon)) / "pkttyagent";
        if (!candidate.parent_path().empty() && ::access(candidate.c_str(), X_OK) == 0) return candidate;
        folders = colon == std::string_view::npos ? std::string_view() : folders.substr(colon + 1);
    }
    return std::nullopt;
}

std::unique_ptr<AuthAgent> AuthAgent::ForTerminal() {
    if (::geteuid() == 0 || !::isatty(STDIN_FILENO) || !::isatty(STDERR_FILENO)) return nullptr;
    const std::optional<std::filesystem::path> program = Find();
    return program ? Start(*program) : nullptr;
}

std::unique_ptr<AuthAgent> AuthAgent::Start(const std::filesystem::path& program) {
    // The agent closes its end of the pipe once it is registered; only then may a request that
    // needs it go out.
    int notify[2];
    if (::pipe2(notify, O_CLOEXEC) != 0) return nullptr;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, notify[1], kNotifyFd);
    std::vector<std::string> args = {program.string(), "--process", std::to_string(::getpid()), "--notify-fd",
                                     std::to_string(kNotifyFd), "--fallback"};
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(notify[1]);
    if (spawned != 0) {
        ::close(notify[0]);
        return nullptr;
    }
    auto agent = std::make_unique<TerminalAuthAgent>(pid);
    pollfd wait{notify[0], POLLIN, 0};
    char byte = 0;
    int ready = 0;
    while ((ready = ::poll(&wait, 1, kRegisterWaitMs)) < 0 && errno == EINTR) {
    }
    // Closed (read gives 0) by an agent still running means registered; one that ended (the
    // authority refused it) closed it too, and a timeout means it never said. An agent that
    // ends just after this look leaves the request without one: the authority then refuses,
    // and the user reads why.
    const bool closed = ready == 1 && ::read(notify[0], &byte, 1) == 0;
    ::close(notify[0]);
    int status = 0;
    const bool running = ::waitpid(pid, &status, WNOHANG) == 0;
    if (!running) agent->Forget();
    return closed && running ? std::move(agent) : nullptr;
}

}  // namespace pyx
