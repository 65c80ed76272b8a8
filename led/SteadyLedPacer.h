#pragma once
#include <condition_variable>
#include <mutex>

#include "led/LedPacer.h"

namespace pyx {

// Real time from the steady clock. A speed above 1 runs every wait that many times faster
// while Now() still advances at the nominal rate, so the sequences keep their shape (the
// tests use it to run seconds of effects in a fraction of the time).
class SteadyLedPacer : public LedPacer {
public:
    explicit SteadyLedPacer(double speed = 1.0);

    Clock::time_point Now() override;
    void SleepUntil(Clock::time_point deadline) override;
    void Interrupt() override;

private:
    const double speed_;
    const Clock::time_point origin_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool interrupted_ = false;
};

}  // namespace pyx
