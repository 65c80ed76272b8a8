#pragma once
#include <cstdint>
#include <optional>

#include "gpu/FanPath.h"

namespace pyx {

// Who sets a fan's level.
enum class FanControlMode : uint8_t {
    Automatic,  // the card, by its own curve
    Manual,     // a fixed level
    Unknown,    // the card would not say
};

// Where one fan of a card is driven: the board's own fan path, or one cooler of the
// fan-cooler interface (which a board may have beside its own path).
struct FanOutlet {
    FanPath path = FanPath::LibraryCooler;
    uint32_t coolerId = 0;  // the fan-cooler interface's cooler id; 0 for the board's own path

    bool IsCooler() const { return coolerId != 0; }
    bool operator==(const FanOutlet&) const = default;
};

// One fan as it runs now.
struct FanOutletState {
    FanOutlet outlet;
    FanControlMode mode = FanControlMode::Unknown;
    std::optional<int32_t> level;  // in unit; none when the card would not report it
    FanUnit unit = FanUnit::Percent;
    // This run set the fan to a fixed level and has not handed it back since.
    bool pinnedThisRun = false;
};

}  // namespace pyx
