#pragma once
#include <cstdint>

#include "gpu/GpuBoardTable.h"
#include "gpu/NvApiRecords.h"
#include "gpu/NvApiStatus.h"

namespace pyx {

// Clock offsets go to the card as a P0 delta through one P-state 2.0 set; each reports its
// outcome to the table's diagnostics. offsetKHz is MHz x 1000 as the sliders and settings
// hold it.
[[nodiscard]] NvStatus SetGraphicsClockOffset(GpuBoardTable& table, int gpu, int32_t offsetKHz);
[[nodiscard]] NvStatus SetMemoryClockOffset(GpuBoardTable& table, int gpu, int32_t offsetKHz);

// Fills the caller's record (its tag is set here). The library sometimes refuses the first
// read right after a set, so a failed read is made once more and that status returned.
[[nodiscard]] NvStatus GetPstates20(GpuBoardTable& table, int gpu, NvPstates20* record);

struct BoostClocks {
    uint32_t graphicsKHz = 0;
    uint32_t memoryKHz = 0;
};

// The boost clocks (all-clock-frequencies query, clock type 2). On failure clocks stay zero.
[[nodiscard]] NvStatus ReadBoostClocks(GpuBoardTable& table, int gpu, BoostClocks& clocks);

}  // namespace pyx
