#pragma once
#include <cstdint>
#include <optional>

#include "gpu/GpuBoardTable.h"
#include "led/LedColour.h"

namespace pyx {

// What the hardware shows at start-up, so the page can show it too. Only kinds 3 (zone
// controller 0x58: a GM1MODE) and 4 (effect controller 0xAC: a GM2MODE) are read; any other
// kind, a failed read or an unknown value gives nothing.
std::optional<uint32_t> ReadBackLedMode(GpuBoardTable& table, int gpu, uint32_t ledKind);

// The colour in registers 0x02..0x04 of 0x58 (kind 3) or 0xAC (kind 4).
std::optional<LedColour> ReadBackLedColour(GpuBoardTable& table, int gpu, uint32_t ledKind);

}  // namespace pyx
