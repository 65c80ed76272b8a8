#pragma once
#include <chrono>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

namespace pyx {

// The terminal a question is answered on. Questions go to standard error, so that standard
// output stays a document a program can read (--json) while the user answers.
//
// Windows has no such terminal here: there every confirmation takes --yes.
class PromptTerminal {
public:
    using Clock = std::chrono::steady_clock;

    // The user's terminal when standard input and standard error both are one and err is the
    // process's own standard error (a command run in-process for another stream has nobody
    // to ask); null otherwise.
    static std::unique_ptr<PromptTerminal> For(const std::ostream& err);

    // Drops what was typed before the question: a "y" typed ahead, before the user saw what
    // it answers, must not keep anything.
    void DropTypedAhead();
    // One line as typed, without its end; none at the end of input or once deadline passes.
    // Waits for the terminal in slices, so the deadline holds while nobody types.
    std::optional<std::string> ReadLine(std::optional<Clock::time_point> deadline);

private:
    PromptTerminal() = default;
};

}  // namespace pyx
