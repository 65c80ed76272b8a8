#include "led/SteadyLedPacer.h"

namespace pyx {

SteadyLedPacer::SteadyLedPacer(double speed) : speed_(speed > 0 ? speed : 1.0), origin_(Clock::now()) {}

LedPacer::Clock::time_point SteadyLedPacer::Now() {
    if (speed_ == 1.0) return Clock::now();
    const auto real = Clock::now() - origin_;
    return origin_ + std::chrono::duration_cast<Clock::duration>(real * speed_);
}

void SteadyLedPacer::SleepUntil(Clock::time_point deadline) {
    const auto nominal = deadline - Now();
    if (nominal <= Clock::duration::zero()) return;
    const auto realDeadline =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(nominal / speed_);
    std::unique_lock lock(mutex_);
    wake_.wait_until(lock, realDeadline, [this] { return interrupted_; });
}

void SteadyLedPacer::Interrupt() {
    {
        std::lock_guard lock(mutex_);
        interrupted_ = true;
    }
    wake_.notify_all();
}

}  // namespace pyx
