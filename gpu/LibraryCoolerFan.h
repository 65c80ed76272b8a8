#pragma once
#include "gpu/FanDriver.h"

namespace pyx {

// The library's legacy cooler levels; the reading is the level the last mode read found.
class LibraryCoolerFan : public FanDriver {
public:
    FanPath Path() const override { return FanPath::LibraryCooler; }
    [[nodiscard]] NvStatus SetLevel(GpuBoardTable& table, int gpu, int32_t value) const override;
    [[nodiscard]] NvStatus RestoreAutomatic(GpuBoardTable& table, int gpu) const override;
    [[nodiscard]] NvStatus Reading(GpuBoardTable& table, int gpu, int32_t* out) const override;
    [[nodiscard]] NvStatus Mode(GpuBoardTable& table, int gpu, int32_t* out) const override;
};

}  // namespace pyx
