#include "cli/PromptTerminal.h"

#include <algorithm>
#include <iostream>

#ifndef _WIN32
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace pyx {

#ifdef _WIN32

std::unique_ptr<PromptTerminal> PromptTerminal::For(const std::ostream&) { return nullptr; }

void PromptTerminal::DropTypedAhead() {}

std::optional<std::string> PromptTerminal::ReadLine(std::optional<Clock::time_point>) { return std::nullopt; }

#else

std::unique_ptr<PromptTerminal> PromptTerminal::For(const std::ostream& err) {
    if (err.rdbuf() != std::cerr.rdbuf() || isatty(STDIN_FILENO) != 1 || isatty(STDERR_FILENO) != 1) return nullptr;
    return std::unique_ptr<PromptTerminal>(new PromptTerminal());
}

void PromptTerminal::DropTypedAhead() { tcflush(STDIN_FILENO, TCIFLUSH); }

std::optional<std::string> PromptTerminal::ReadLine(std::optional<Clock::time_point> deadline) {
    std::string line;
    for (;;) {
        int waitMs = -1;
        if (deadline) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
            if (left <= 0) return std::nullopt;
            // A slice at most, so a signal or a clock step cannot stretch the wait.
            waitMs = static_cast<int>(std::min<long long>(left, 250));
        }
        pollfd in{STDIN_FILENO, POLLIN, 0};
        const int ready = poll(&in, 1, waitMs);
        if (ready < 0 && errno != EINTR) return std::nullopt;
        if (ready <= 0) continue;
        char c = 0;
        const ssize_t got = read(STDIN_FILENO, &c, 1);
        if (got < 0 && errno == EINTR) continue;
        // A hang-up or the end of input is no answer.
        if (got <= 0) return std::nullopt;
        if (c == '\n') return line;
        if (c != '\r') line += c;
    }
}

#endif

}  // namespace pyx
