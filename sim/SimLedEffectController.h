#pragma once
#include "sim/SimLedController.h"

namespace pyx::sim {

// The effect controller (0xAC, 0xB0, 0xB4, 0xB8): colour at 0x02..0x04, which shows at once
// (the program's breathing frames carry no commit), parameters 0x21..0x24, effect code 0x30,
// built-in mode 0x50 <- 0xFF; the effect code, parameters and built-in mode take effect at
// the commit 0x40 <- 0x5A.
class SimLedEffectController : public SimLedController {
public:
    std::string ModelName() const override { return "led-effect"; }
    uint32_t Commits() const;
    void LatchPresets();

protected:
    void OnWrite(uint8_t reg, uint8_t value) override;

private:
    void Commit();
    mutable std::mutex countMutex_;
    uint32_t commits_ = 0;
};

}  // namespace pyx::sim
