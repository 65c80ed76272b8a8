#pragma once
#include "gpu/FanDriver.h"

namespace pyx {

// The library's legacy cooler levels on a board whose slot-1 duty chip answered: each library
// step waits 20 ms first, and the chip reports the duty.
class PacedLibraryCoolerFan : public FanDriver {
public:
    FanPath Path() const override { return FanPath::PacedLibraryCooler; }
    [[nodiscard]] NvStatus SetLevel(GpuBoardTable& table, int gpu, int32_t value) const override;
    [[nodiscard]] NvStatus RestoreAutomatic(GpuBoardTable& table, int gpu) const override;
    [[nodiscard]] NvStatus Reading(GpuBoardTable& table, int gpu, int32_t* out) const override;
    [[nodiscard]] NvStatus Mode(GpuBoardTable& table, int gpu, int32_t* out) const override;
};

// The slot-1 chip's duty register as a percentage, to the nearest: the duty a percent is set
// as reads back as that percent, so a saved fan speed does not creep down at every save and
// load.
[[nodiscard]] NvStatus ReadSlot1DutyPercent(GpuBoardTable& table, int gpu, uint8_t reg, int32_t* out);

}  // namespace pyx
