#pragma once
#include <chrono>

namespace pyx {

// The clock the lighting paces itself by: the pauses of the mode sequences, the step waits
// of the effect threads and the restart pauses. The program uses SteadyLedPacer; tests put
// a faster or virtual one in its place.
class LedPacer {
public:
    using Clock = std::chrono::steady_clock;

    virtual ~LedPacer() = default;
    virtual Clock::time_point Now() = 0;
    // Returns at deadline, or early once Interrupt() has been called.
    virtual void SleepUntil(Clock::time_point deadline) = 0;
    // Wakes every sleeper; from then on every sleep returns at once (the program is ending).
    virtual void Interrupt() = 0;

    void SleepFor(Clock::duration length) { SleepUntil(Now() + length); }
};

}  // namespace pyx
