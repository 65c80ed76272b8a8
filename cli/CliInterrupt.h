#pragma once
#include <chrono>

namespace pyx {

// Ctrl-C (or a termination request) for the commands that keep running: monitor and a
// program-driven lighting effect end their loop cleanly instead of dying mid-transaction.
class CliInterrupt {
public:
    // Catches the interrupt and termination signals from now on.
    static void Install();
    static bool Requested();
    // Sleeps up to duration; false when an interrupt came first.
    static bool Wait(std::chrono::milliseconds duration);
};

}  // namespace pyx
