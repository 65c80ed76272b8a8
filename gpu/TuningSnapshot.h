#pragma once
#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>

#include "gpu/FanPath.h"

namespace pyx {

// How the fan is to run.
struct FanRequest {
    enum class Kind : uint8_t {
        Automatic,    // the fan path's own restore
        Fixed,        // a fixed level in the fan path's unit (percent, or RPM on the tachometer chip)
        CoolerLevel,  // one level for fan coolers 1 and 2 of the fan-cooler interface; 0 automatic
    };
    Kind kind = Kind::Automatic;
    int32_t value = 0;
    // The unit the value was chosen in (a slider that showed another card's fan); unset: the
    // fan's own. A value in another unit than the fan's is refused, never converted.
    std::optional<FanUnit> unit{};

    static FanRequest Automatic() { return {Kind::Automatic, 0}; }
    static FanRequest Fixed(int32_t level, std::optional<FanUnit> unit = std::nullopt) {
        return {Kind::Fixed, level, unit};
    }
    static FanRequest CoolerLevel(int32_t percent, std::optional<FanUnit> unit = std::nullopt) {
        return {Kind::CoolerLevel, percent, unit};
    }
};

// A card's tuning as one write: every field that is set is sent, in this order (memory offset,
// graphics offset, power, thermal limit, fan, graphics VF points, memory VF points); a field
// left unset is not touched. A mode that needs another order sends several snapshots.
// Offsets and power are wide, so that a value scaled from a file or a slider keeps what was
// asked; the card is sent the nearest value its record holds.
struct TuningSnapshot {
    std::optional<int64_t> memoryOffsetKHz{};
    std::optional<int64_t> graphicsOffsetKHz{};
    std::optional<int64_t> powerPcm{};  // thousandths of a percent, for the first power policy
    // For the acoustic policy; a limit outside its range, or a card without it, is refused.
    std::optional<float> thermalLimitC{};
    std::optional<FanRequest> fan{};
    std::optional<int32_t> graphicsVfOffsetKHz{};  // every VF point of the graphics domain
    std::optional<int32_t> memoryVfOffsetKHz{};    // every VF point of the memory domain
};

// MHz to kHz and percent to thousandths of a percent.
constexpr int64_t Thousandfold(int64_t value) { return value * 1000; }

// What a 32-bit record field holds of a wide value: the furthest value of the same sign.
constexpr int32_t SaturateToInt32(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

}  // namespace pyx
