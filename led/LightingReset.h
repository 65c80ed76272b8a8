#pragma once
#include <array>
#include <functional>
#include <optional>
#include <string>

#include "gpu/GpuBoard.h"
#include "led/LedBoardState.h"
#include "led/LedEffectEngine.h"
#include "led/LedPageState.h"
#include "led/LedSettings.h"

namespace pyx {

// The Reset button's lighting half, as the window and the service take it. The saved lighting
// takes what the controllers show afterwards.
class LightingReset {
public:
    struct Outcome {
        std::string refusals;  // a line "GPU n: ..." for each GPU that refused a write
        bool zoneReset = false;  // a zone controller got its red reset burst
        std::optional<int> basicGpu;  // AllGpus: the first GPU whose basic controller was reset
    };
    // Both halves on every GPU as its probes find it now, where no page holds what they found
    // (the service, pyxtunectl): the basic controllers as the window resets them with a basic
    // controller's GPU selected.
    static Outcome AllGpus(LedEffectEngine& engine, LedSettings& saved);
    // Stops the effects kept in step (no frame of theirs may land after the reset), then takes
    // each GPU's zone and effect controllers to their reset modes by the kind its probe found
    // (kinds); a zone effect kept in step drove the zones of every card, whatever its kind, and
    // those zones are reset as well (page: what each GPU's probes found). defaultModeTaken(zone)
    // runs for each controller that took its reset mode.
    static Outcome Controllers(LedEffectEngine& engine, const LedPageState& page,
                               const std::array<LedKind, kMaxGpus>& kinds, LedSettings& saved,
                               const std::function<void(bool zone)>& defaultModeTaken);
    // The basic controllers to static white: every GPU's when the machine has two or more,
    // else selectedGpu's (none when it names no GPU). The timers go back to their first entry.
    static void Basic(LedEffectEngine& engine, int selectedGpu, LedSettings& saved);
};

}  // namespace pyx
