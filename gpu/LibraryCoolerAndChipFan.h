#pragma once
#include "gpu/FanDriver.h"

namespace pyx {

// The library's legacy cooler level, then the slot-1 chip's duty registers (the chip variant
// the video BIOS names): the chip holds the duty, its limit and its manual bits.
class LibraryCoolerAndChipFan : public FanDriver {
public:
    FanPath Path() const override { return FanPath::LibraryCoolerAndChip; }
    [[nodiscard]] NvStatus SetLevel(GpuBoardTable& table, int gpu, int32_t value) const override;
    [[nodiscard]] NvStatus RestoreAutomatic(GpuBoardTable& table, int gpu) const override;
    [[nodiscard]] NvStatus Reading(GpuBoardTable& table, int gpu, int32_t* out) const override;
    [[nodiscard]] NvStatus Mode(GpuBoardTable& table, int gpu, int32_t* out) const override;
};

}  // namespace pyx
