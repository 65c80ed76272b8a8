#pragma once
#include <cstdint>

#include "gpu/GpuBoardTable.h"
#include "gpu/NvApiRecords.h"
#include "gpu/NvApiStatus.h"

namespace pyx {

// Clock offsets go to the card as a P0 delta through one P-state 2.0 set; each prints its
// outcome on standard output. offsetKHz is MHz x 1000 as the sliders and settings hold it.
NvStatus SetGraphicsClockOffset(GpuBoardTable& table, int gpu, int32_t offsetKHz);
NvStatus SetMemoryClockOffset(GpuBoardTable& table, int gpu, int32_t offsetKHz);

// Fills the caller's record (its tag is set here). The library sometimes refuses the first
// read right after a set, so a failed read is made once more and that status returned.
NvStatus GetPstates20(GpuBoardTable& table, int gpu, NvPstates20* record);

}  // namespace pyx
