#pragma once
#include <cstdint>
#include <functional>

#include "gpu/GpuBoardTable.h"
#include "led/LedBoardState.h"
#include "led/LedPacer.h"
#include "led/LedWriteResult.h"

namespace pyx {

// The modes a controller is in once the Reset button's half for it was taken: the effect
// controller's code 0x00 is its mode 9, the zone controller's red burst its mode 1.
inline constexpr uint32_t kEffectResetMode = 9;
inline constexpr uint32_t kZoneResetMode = 1;

// What one GPU's reset did.
struct LedResetResult {
    // The write that puts the controller in its default mode was taken (the effect code of
    // 0xAC; the burst to the zone the probe found).
    bool defaultModeTaken = false;
    // The writes refused by controllers the start-up probe found. The reset also goes to the
    // kind's other addresses, where a board may have no controller; their silence is expected.
    LedWriteResult refused;
};

// The Reset button's half for the effect and zone controllers of one GPU, by the kind its
// probe found: the effect controllers 0xAC then 0xB0, 10 ms apart; or the three zones,
// starting with the one found (0x46, 0x48, 0x58 or 0x58, 0x46, 0x48). A refused write stops
// nothing. defaultModeTaken is called the moment the controller took the write that selects
// its default mode, so the window shows that mode while the rest is still sent. The basic
// controllers (reset by their own effect thread) and no controller send nothing.
[[nodiscard]] LedResetResult ResetLedController(GpuBoardTable& table, int gpu, LedKind kind,
                                                const LedBoardState& found, LedPacer& pacer,
                                                const std::function<void()>& defaultModeTaken);

}  // namespace pyx
