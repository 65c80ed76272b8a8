#include "led/LedReset.h"

#include <array>
#include <chrono>
#include <vector>

#include "led/LedEffectController.h"
#include "led/LedProbe.h"
#include "led/LedZoneController.h"

namespace pyx {

using namespace std::chrono_literals;

LedResetResult ResetLedController(GpuBoardTable& table, int gpu, LedKind kind, const LedBoardState& found,
                                  LedPacer& pacer, const std::function<void()>& defaultModeTaken) {
    LedResetResult result;
    auto taken = [&] {
        result.defaultModeTaken = true;
        if (defaultModeTaken) defaultModeTaken();
    };
    switch (kind) {
        case LedKind::EffectAC: {
            const LedWriteResult main = ResetEffectControllerAC(table, gpu, pacer);
            result.refused.Append(main);
            if (EffectCodeTaken(main)) taken();
            pacer.SleepFor(10ms);
            result.refused.Append(ResetEffectControllerB0(table, gpu, pacer));
            break;
        }
        case LedKind::Zone46:
        case LedKind::Zone58: {
            const std::array<uint8_t, 3> order = kind == LedKind::Zone46 ? std::array<uint8_t, 3>{0x46, 0x48, 0x58}
                                                                         : std::array<uint8_t, 3>{0x58, 0x46, 0x48};
            for (size_t i = 0; i < order.size(); ++i) {
                const LedWriteResult zone = ResetZoneController(table, gpu, order[i]);
                result.refused.Append(zone);
                if (i == 0 && zone.Clean()) taken();
            }
            break;
        }
        case LedKind::None:
        case LedKind::BasicClass1:
        case LedKind::BasicClass2: break;
    }
    std::erase_if(result.refused.refused, [&](const LedRefusedWrite& write) { return !ControllerFound(found, write.address); });
    return result;
}

}  // namespace pyx
