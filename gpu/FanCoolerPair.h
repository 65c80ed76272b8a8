#pragma once
#include "gpu/GpuBoardTable.h"
#include "gpu/NvApiStatus.h"

namespace pyx {

// Fans driven through the fan-cooler interface take one level on coolers 1 and 2, as one
// setting: refused when cooler 1 refused it, or cooler 2 did while the card lists one (a card
// may have a single fan cooler). percent 0 hands both back to automatic control.
[[nodiscard]] NvStatus SetFanCoolerPair(GpuBoardTable& table, int gpu, float percent);

}  // namespace pyx
