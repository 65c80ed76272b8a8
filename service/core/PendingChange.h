#pragma once
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "app/TuningReport.h"
#include "app/TuningRevert.h"

namespace pyx {

// The connection a request came on, as the front-end numbers them.
using ConnectionId = uint64_t;

// A change a client applied that stays only when that same client keeps it in time: a tuning
// that hangs the display, or a client that dies, takes itself back. One at a time for the
// machine, since a second change would make the first one's way back wrong.
class PendingChange {
public:
    using Clock = std::chrono::steady_clock;

    bool Active() const { return active_; }
    ConnectionId Owner() const { return owner_; }
    const std::string& Mode() const { return mode_; }
    std::vector<int> Gpus() const { return before_.Gpus(); }
    int SecondsLeft(Clock::time_point now) const;
    bool Expired(Clock::time_point now) const { return active_ && now >= deadline_; }

    void Begin(ConnectionId owner, TuningRevert before, Clock::time_point deadline, std::string mode);
    // The change stays.
    void Keep() { active_ = false; }
    // The cards go back to what they held before the change, every write with its answer.
    TuningReport TakeBack();

private:
    bool active_ = false;
    ConnectionId owner_ = 0;
    TuningRevert before_;
    Clock::time_point deadline_{};
    std::string mode_;
};

}  // namespace pyx
