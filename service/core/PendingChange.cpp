#include "service/core/PendingChange.h"

#include <algorithm>

namespace pyx {

int PendingChange::SecondsLeft(Clock::time_point now) const {
    const auto left = std::chrono::ceil<std::chrono::seconds>(deadline_ - now).count();
    return static_cast<int>(std::max<int64_t>(left, 0));
}

void PendingChange::Begin(ConnectionId owner, TuningRevert before, Clock::time_point deadline, std::string mode) {
    active_ = true;
    owner_ = owner;
    before_ = std::move(before);
    deadline_ = deadline;
    mode_ = std::move(mode);
}

TuningReport PendingChange::TakeBack() {
    active_ = false;
    return before_.Revert();
}

}  // namespace pyx
