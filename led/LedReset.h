#pragma once
#include <cstdint>
#include <functional>

#include "gpu/GpuBoardTable.h"
#include "led/LedBoardState.h"
#include "led/LedController.h"
#include "led/LedPacer.h"

namespace pyx {

// The modes a controller is in once the Reset button's half for it was taken: the effect
// controller's code 0x00 is its mode 9, the zone controller's red burst its mode 1.
extern const uint32_t kEffectResetMode;
extern const uint32_t kZoneResetMode;

// The Reset button's half for the effect and zone controllers of one GPU, by the kind its
// probe found (see MakeFoundController for the zones and their order). The refusals kept are
// those of controllers the start-up probe found: the reset also goes to the kind's other
// addresses, where a board may have no controller, and their silence is expected. The basic
// controllers (reset by their own effect thread) and no controller send nothing.
[[nodiscard]] LedResetResult ResetLedController(GpuBoardTable& table, int gpu, LedKind kind,
                                                const LedBoardState& found, LedPacer& pacer,
                                                const std::function<void()>& defaultModeTaken);

}  // namespace pyx
