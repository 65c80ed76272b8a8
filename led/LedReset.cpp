#include "led/LedReset.h"

#include <vector>

#include "led/EffectController.h"
#include "led/LedControllerFactory.h"
#include "led/LedProbe.h"
#include "led/ZoneController.h"

namespace pyx {

const uint32_t kEffectResetMode = EffectController::kResetMode;
const uint32_t kZoneResetMode = ZoneController::kResetMode;

LedResetResult ResetLedController(GpuBoardTable& table, int gpu, LedKind kind, const LedBoardState& found,
                                  LedPacer& pacer, const std::function<void()>& defaultModeTaken) {
    const std::unique_ptr<LedController> controller = MakeFoundController(table, gpu, kind);
    if (!controller) return {};
    LedResetResult result = controller->Reset(pacer, defaultModeTaken);
    std::erase_if(result.refused.refused, [&](const LedRefusedWrite& write) { return !ControllerFound(found, write.address); });
    return result;
}

}  // namespace pyx
