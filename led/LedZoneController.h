#pragma once
#include <cstdint>
#include <span>

#include "gpu/GpuBoardTable.h"
#include "led/LedColour.h"
#include "led/LedPacer.h"
#include "led/LedWriteResult.h"

namespace pyx {

// Zone controller registers.
inline constexpr uint8_t kZoneRegColour = 0x02;     // R, G, B at 0x02..0x04
inline constexpr uint8_t kZoneRegParameter = 0x05;
inline constexpr uint8_t kZoneRegEffect = 0x06;
inline constexpr uint8_t kZoneRegCommit = 0x08;
inline constexpr uint8_t kLedCommitValue = 0x5A;

// Sends one zone its mode: the colour burst, the GM1MODE sequence (with its 10 ms pauses,
// cut short by the first failed write) and, always, the commit 10 ms later. A mode outside
// 0..5 sends the colour and the commit only. Returns every write the zone refused.
[[nodiscard]] LedWriteResult ApplyZoneMode(GpuBoardTable& table, int gpu, uint8_t zoneAddress, uint32_t gm1Mode,
                       LedColour colour, LedPacer& pacer);

// One static frame: R, G, B, parameter 0x00, effect 0x20 in one burst; no pause, no commit.
[[nodiscard]] LedWriteResult WriteZoneFrame(GpuBoardTable& table, int gpu, uint8_t zoneAddress, LedColour colour);
// The same frame to several zones, one after another.
[[nodiscard]] LedWriteResult WriteZoneFrame(GpuBoardTable& table, int gpu, std::span<const uint8_t> zoneAddresses,
                    LedColour colour);

// The reset of a zone controller: red with the default mode's register values, in one burst.
[[nodiscard]] LedWriteResult ResetZoneController(GpuBoardTable& table, int gpu, uint8_t zoneAddress);

}  // namespace pyx
