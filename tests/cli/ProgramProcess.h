#pragma once
// Runs one of the project's programs as a process of its own, as a user would start it: its
// own environment, standard output and error kept in files, a time limit.
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "tests/support/FileText.h"
#include "tests/support/TempFolder.h"

#ifdef _WIN32
#include <windows.h>

#include <algorithm>
#include <cwctype>

#include "platform/windows/WinProcessLauncher.h"
#include "platform/windows/WinText.h"
#else
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/linux/LinuxInstanceLock.h"

extern char** environ;
#endif

namespace pyx::proctest {

namespace fs = std::filesystem;
using test::FileText;

// A variable set to a value, or removed when the value is empty-optional.
struct EnvChange {
    std::string name;
    std::optional<std::string> value;
};

// How a started program is kept apart from the rest of the machine.
enum class Isolation {
    None,
    // The program runs in namespaces of its own: root's copy finds its lock folder /run/pyxtune
    // on a fresh file system of its mount namespace (another user's copy has its lock in the
    // $XDG_RUNTIME_DIR the test gives it), and kernel events the test makes in its network
    // namespace reach nobody else. So it takes its own lock, whatever copy runs elsewhere on the
    // machine, and the installed program's lock stays as strong as it is.
    OwnInstanceLock,
};

struct ProgramRun {
    int status = -1;  // exit status; -1 when it did not end by itself in time
    std::string out, err;
};


// This process's id, for names of its own.
inline unsigned long ThisProcessId() {
#ifdef _WIN32
    return GetCurrentProcessId();
#else
    return static_cast<unsigned long>(::getpid());
#endif
}

#ifdef _WIN32

// Windows compares variable names without regard to case.
inline bool SameName(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
               return std::towupper(x) == std::towupper(y);
           });
}

class ProgramProcess {
public:
    // Starts program with args; its output goes to <outputStem>.out and <outputStem>.err.
    ProgramProcess(const fs::path& program, const std::vector<std::string>& args, const std::vector<EnvChange>& env,
                   const fs::path& outputStem)
        : outFile_(outputStem.string() + ".out"), errFile_(outputStem.string() + ".err") {
        // The environment block: this process's variables less those changed, then the new
        // values; "=C:"-style entries (a drive's current folder) are kept as they are.
        std::vector<std::wstring> environment;
        if (wchar_t* block = GetEnvironmentStringsW()) {
            for (const wchar_t* entry = block; *entry != L'\0'; entry += std::wcslen(entry) + 1) {
                const std::wstring_view text(entry);
                const std::wstring_view name = text.substr(0, text.find(L'=', 1));
                bool changed = false;
                for (const EnvChange& change : env) changed = changed || SameName(name, Utf8ToWide(change.name));
                if (!changed) environment.emplace_back(text);
            }
            FreeEnvironmentStringsW(block);
        }
        for (const EnvChange& change : env)
            if (change.value) environment.push_back(Utf8ToWide(change.name + "=" + *change.value));
        std::wstring block;
        for (const std::wstring& entry : environment) block += entry + L'\0';
        block += L'\0';

        SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        HANDLE in = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited, OPEN_EXISTING, 0,
                                nullptr);
        HANDLE out = CreateFileW(fs::path(outFile_).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited,
                                 CREATE_ALWAYS, 0, nullptr);
        HANDLE err = CreateFileW(fs::path(errFile_).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited,
                                 CREATE_ALWAYS, 0, nullptr);
        std::wstring line = WinProcessLauncher::CommandLine({fs::absolute(program), args, {}});
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = in;
        startup.hStdOutput = out;
        startup.hStdError = err;
        if (in != INVALID_HANDLE_VALUE && out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE)
            started_ = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE,
                                      CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW, block.data(), nullptr, &startup,
                                      &info_) != FALSE;
        for (HANDLE h : {in, out, err})
            if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
    ~ProgramProcess() {
        Kill();
        if (started_) {
            CloseHandle(info_.hThread);
            CloseHandle(info_.hProcess);
        }
    }
    ProgramProcess(const ProgramProcess&) = delete;
    ProgramProcess& operator=(const ProgramProcess&) = delete;

    bool Started() const { return started_; }
    bool Running() {
        if (!started_ || ended_) return false;
        if (WaitForSingleObject(info_.hProcess, 0) == WAIT_OBJECT_0) End();
        return !ended_;
    }
    // Waits for the process to end by itself, at most `limit`; false when it did not.
    bool WaitFor(std::chrono::milliseconds limit) {
        if (!started_) return false;
        if (!ended_ && WaitForSingleObject(info_.hProcess, static_cast<DWORD>(limit.count())) == WAIT_OBJECT_0) End();
        return ended_;
    }
    void Kill() {
        if (!Running()) return;
        TerminateProcess(info_.hProcess, 137);
        WaitForSingleObject(info_.hProcess, INFINITE);
        ended_ = true;
    }
    int ExitStatus() const { return exitStatus_; }
    std::string Out() const { return FileText(outFile_); }
    std::string Err() const { return FileText(errFile_); }

private:
    void End() {
        ended_ = true;
        DWORD code = 0;
        if (GetExitCodeProcess(info_.hProcess, &code)) exitStatus_ = static_cast<int>(code);
    }

    std::string outFile_, errFile_;
    PROCESS_INFORMATION info_{};
    bool started_ = false;
    bool ended_ = false;
    int exitStatus_ = -1;
};

#else

class ProgramProcess {
public:
    // Starts program with args; its output goes to <outputStem>.out and <outputStem>.err.
    ProgramProcess(const fs::path& program, const std::vector<std::string>& args, const std::vector<EnvChange>& env,
                   const fs::path& outputStem, Isolation isolation = Isolation::None)
        : outFile_(outputStem.string() + ".out"), errFile_(outputStem.string() + ".err") {
        std::vector<std::string> environment;
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string entry = *e;
            bool changed = false;
            for (const EnvChange& change : env) changed = changed || entry.rfind(change.name + "=", 0) == 0;
            if (!changed) environment.push_back(entry);
        }
        for (const EnvChange& change : env)
            if (change.value) environment.push_back(change.name + "=" + *change.value);

        std::vector<std::string> argv = {program.string()};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> argvPointers, envPointers;
        for (auto& a : argv) argvPointers.push_back(a.data());
        argvPointers.push_back(nullptr);
        for (auto& e : environment) envPointers.push_back(e.data());
        envPointers.push_back(nullptr);

        if (isolation == Isolation::OwnInstanceLock) {
            StartIsolated(argvPointers.data(), envPointers.data());
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, outFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, errFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (posix_spawn(&pid_, argvPointers[0], &actions, nullptr, argvPointers.data(), envPointers.data()) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~ProgramProcess() { Kill(); }
    ProgramProcess(const ProgramProcess&) = delete;
    ProgramProcess& operator=(const ProgramProcess&) = delete;

    bool Started() const { return pid_ > 0; }
    pid_t Pid() const { return pid_; }
    // Why an isolated start could not be made; empty when it was (or none was asked for).
    const std::string& IsolationError() const { return isolationError_; }
    bool Running() {
        if (pid_ <= 0 || ended_) return false;
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) End(status);
        return !ended_;
    }
    // Waits for the process to end by itself, at most `limit`; false when it did not.
    bool WaitFor(std::chrono::milliseconds limit) {
        const auto until = std::chrono::steady_clock::now() + limit;
        while (Running()) {
            if (std::chrono::steady_clock::now() > until) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return Started();
    }
    void Kill() {
        if (!Running()) return;
        kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
        ended_ = true;
    }
    int ExitStatus() const { return exitStatus_; }
    std::string Out() const { return FileText(outFile_); }
    std::string Err() const { return FileText(errFile_); }

private:
    void End(int status) {
        ended_ = true;
        exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    // fork, a network namespace of the child's own, exec. Root makes the namespaces directly and
    // mounts a file system of the child's own on /run/pyxtune; another user makes the network
    // namespace inside a user namespace that maps the user to itself, so the program still runs
    // as that user. The child reports a failed step through a close-on-exec pipe
    // (an errno value), so the parent knows before the test goes on.
    void StartIsolated(char* const argv[], char* const envp[]) {
        const std::string uidMap = std::to_string(::getuid()) + " " + std::to_string(::getuid()) + " 1";
        const std::string gidMap = std::to_string(::getgid()) + " " + std::to_string(::getgid()) + " 1";
        int report[2];
        if (::pipe2(report, O_CLOEXEC) != 0) {
            isolationError_ = std::strerror(errno);
            return;
        }
        const pid_t child = ::fork();
        if (child == 0) {  // only async-signal-safe calls from here to the exec
            ::close(report[0]);
            const auto fail = [&](int step) {
                const int error[2] = {step, errno};
                (void)!::write(report[1], error, sizeof error);
                ::_exit(127);
            };
            const auto put = [](const char* file, const std::string& text) {
                const int fd = ::open(file, O_WRONLY | O_CLOEXEC);
                const bool ok = fd >= 0 && ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
                if (fd >= 0) ::close(fd);
                return ok;
            };
            if (::getuid() == 0) {
                if (::unshare(CLONE_NEWNET | CLONE_NEWNS) != 0) fail(1);
                if ((::mkdir("/run/pyxtune", 0755) != 0 && errno != EEXIST) ||
                    ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                    ::mount("pyxtune", "/run/pyxtune", "tmpfs", MS_NOSUID | MS_NODEV | MS_NOEXEC, "mode=0755") != 0)
                    fail(5);
            } else if (::unshare(CLONE_NEWNET) != 0) {
                if (::unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0) fail(1);
                if (!put("/proc/self/setgroups", "deny") || !put("/proc/self/uid_map", uidMap) ||
                    !put("/proc/self/gid_map", gidMap))
                    fail(2);
            }
            const int in = ::open("/dev/null", O_RDONLY);
            const int out = ::open(outFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int err = ::open(errFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (in < 0 || out < 0 || err < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) fail(3);
            ::execve(argv[0], argv, envp);
            fail(4);
        }
        ::close(report[1]);
        int error[2] = {0, 0};
        ssize_t got;
        do got = ::read(report[0], error, sizeof error);
        while (got < 0 && errno == EINTR);
        ::close(report[0]);
        if (child < 0) {
            isolationError_ = std::string("fork: ") + std::strerror(errno);
            return;
        }
        pid_ = child;
        if (got == static_cast<ssize_t>(sizeof error)) {
            static const char* const kSteps[] = {"", "a network namespace of its own", "its user mapping",
                                                 "its standard files", "exec", "a lock folder of its own"};
            isolationError_ = std::string(kSteps[error[0]]) + ": " + std::strerror(error[1]);
            int status = 0;
            ::waitpid(pid_, &status, 0);
            pid_ = -1;
        }
    }

    std::string outFile_, errFile_;
    std::string isolationError_;
    pid_t pid_ = -1;
    bool ended_ = false;
    int exitStatus_ = -1;
};

#endif

#ifndef _WIN32
// Holds the window's lock of this process's user (root's is machine-wide) for as long as it
// lives, as a copy of the window running elsewhere on the machine would; held by nobody when
// another process already has it, which is the same situation.
class MachineLockHolder {
public:
    MachineLockHolder() {
        const InstanceLockResult result = lock_.Acquire();
        taken_ = result == InstanceLockResult::Acquired || result == InstanceLockResult::HeldBySameUser;
    }
    // Whether the lock is taken now, by this holder or by another process.
    bool Taken() const { return taken_; }

private:
    LinuxInstanceLock lock_;
    bool taken_ = false;
};

#endif

using test::RemoveFolder;

// Runs the program to its end; one that runs past the limit is killed and gives status -1.
inline ProgramRun RunProgram(const fs::path& program, const std::vector<std::string>& args,
                             const std::vector<EnvChange>& env, const fs::path& outputStem,
                             std::chrono::milliseconds limit = std::chrono::seconds(60)) {
    ProgramProcess process(program, args, env, outputStem);
    ProgramRun run;
    if (process.WaitFor(limit)) run.status = process.ExitStatus();
    process.Kill();
    run.out = process.Out();
    run.err = process.Err();
    return run;
}

// A copy of a built program in a folder of its own, so that what it writes beside itself
// lands there and not in the build tree.
inline fs::path CopyProgram(const fs::path& program, const fs::path& folder) {
    fs::create_directories(folder);
    const fs::path copy = folder / program.filename();
    fs::copy_file(program, copy, fs::copy_options::overwrite_existing);
    return copy;
}

// Text as a settings file holds it: UTF-16LE (a byte-order mark only where the text has one).
inline std::string Utf16File(std::u16string_view text) {
    std::string bytes;
    for (const char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

}  // namespace pyx::proctest
