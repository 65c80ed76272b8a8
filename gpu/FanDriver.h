#pragma once
#include <cstdint>

#include "gpu/FanPath.h"
#include "gpu/NvApiStatus.h"

namespace pyx {

class GpuBoardTable;

// How one fan path sets, restores and reads a board's fan. A board owns one driver per path
// (BoardFan) and uses the one its path selects; drivers hold no state of their own, so a path
// refined by the hardware thread switches drivers between two calls, never within one.
// Every chip or library failure ends an operation at that step with its status; nothing is
// rolled back.
class FanDriver {
public:
    virtual ~FanDriver() = default;

    virtual FanPath Path() const = 0;
    // What SetLevel takes and Reading gives.
    virtual FanUnit Unit() const { return FanUnit::Percent; }

    // A fixed level (percent, or RPM where Unit() says so).
    [[nodiscard]] virtual NvStatus SetLevel(GpuBoardTable& table, int gpu, int32_t value) const = 0;
    // The fan back under the card's own control.
    [[nodiscard]] virtual NvStatus RestoreAutomatic(GpuBoardTable& table, int gpu) const = 0;
    // The level the fan runs at, in Unit().
    [[nodiscard]] virtual NvStatus Reading(GpuBoardTable& table, int gpu, int32_t* out) const = 0;
    // 1 automatic, 2 manual (the numbers the settings file keeps).
    [[nodiscard]] virtual NvStatus Mode(GpuBoardTable& table, int gpu, int32_t* out) const = 0;
};

}  // namespace pyx
