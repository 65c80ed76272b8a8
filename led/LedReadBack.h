#pragma once
#include <cstdint>
#include <optional>

#include "gpu/GpuBoardTable.h"
#include "led/LedBoardState.h"
#include "led/LedColour.h"

namespace pyx {

// What the hardware shows at start-up, so the page can show it too. Only the kinds Zone58
// (zone controller 0x58: a GM1MODE) and EffectAC (effect controller 0xAC: a GM2MODE) are read; any other
// kind, a failed read or an unknown value gives nothing.
std::optional<uint32_t> ReadBackLedMode(GpuBoardTable& table, int gpu, LedKind ledKind);

// The colour in registers 0x02..0x04 of 0x58 (Zone58) or 0xAC (EffectAC).
std::optional<LedColour> ReadBackLedColour(GpuBoardTable& table, int gpu, LedKind ledKind);

}  // namespace pyx
