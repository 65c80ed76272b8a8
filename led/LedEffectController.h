#pragma once
#include <cstdint>

#include "gpu/GpuBoardTable.h"
#include "led/LedColour.h"
#include "led/LedPacer.h"
#include "led/LedWriteResult.h"

namespace pyx {

// Effect controller registers.
inline constexpr uint8_t kEffectRegColour = 0x02;  // R, G, B at 0x02..0x04
inline constexpr uint8_t kEffectRegParameter1 = 0x21;  // parameters 1..4 at 0x21..0x24
inline constexpr uint8_t kEffectRegCode = 0x30;
inline constexpr uint8_t kEffectRegCommit = 0x40;
inline constexpr uint8_t kEffectRegDefault = 0x50;
inline constexpr uint8_t kEffectCodeStatic = 0x01;

// Sends one zone its mode: the colour burst, the GM2MODE parameters and effect code, and
// always the commit; 10 ms after every acknowledged write, and the first failed write of
// the mode cuts it short. A mode without a row (12..39, 41..89, above 90) sends the colour
// and the commit only. Returns every write the zone refused.
[[nodiscard]] LedWriteResult ApplyEffectMode(GpuBoardTable& table, int gpu, uint8_t zoneAddress, uint32_t gm2Mode,
                         LedColour colour, LedPacer& pacer);

// One colour frame to each of the four effect zones, in order; no pause, no commit.
[[nodiscard]] LedWriteResult WriteEffectFrame(GpuBoardTable& table, int gpu, LedColour colour);

// The resets of the two effect controllers, each in its own order: the parameters and the
// effect code 0x00, 10 ms apart. A refused write stops nothing; every refusal is returned.
[[nodiscard]] LedWriteResult ResetEffectControllerAC(GpuBoardTable& table, int gpu, LedPacer& pacer);
[[nodiscard]] LedWriteResult ResetEffectControllerB0(GpuBoardTable& table, int gpu, LedPacer& pacer);
// Whether a reset's result shows its effect code taken (the write that selects the default mode).
bool EffectCodeTaken(const LedWriteResult& reset);

}  // namespace pyx
