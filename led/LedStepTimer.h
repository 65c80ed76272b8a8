#pragma once
#include "led/LedPacer.h"

namespace pyx {

// Paces a sequence of steps from its start: each wait ends one step after the previous
// deadline, so the time the bus takes for a frame does not stretch the sequence. A sequence
// that falls more than one step behind (a bus held for seconds) starts afresh from now
// instead of sending the missed frames in a burst.
class LedStepTimer {
public:
    explicit LedStepTimer(LedPacer& pacer) : pacer_(pacer), next_(pacer.Now()) {}

    void Wait(LedPacer::Clock::duration step) {
        next_ += step;
        const auto now = pacer_.Now();
        if (next_ + step < now) next_ = now;
        pacer_.SleepUntil(next_);
    }

private:
    LedPacer& pacer_;
    LedPacer::Clock::time_point next_;
};

// A step length in whole milliseconds: period / divisor, truncated toward zero.
inline LedPacer::Clock::duration StepLength(double periodMs, int divisor) {
    const double ms = periodMs / divisor;
    return std::chrono::milliseconds(ms > 0 ? static_cast<long long>(ms) : 0);
}

}  // namespace pyx
