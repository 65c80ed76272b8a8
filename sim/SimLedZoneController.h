#pragma once
#include "sim/SimLedController.h"

namespace pyx::sim {

// The zone controller (0x58, 0x46, 0x48, 0x4A, 0x4C): colour at 0x02..0x04, effect parameter
// 0x05, effect code 0x06, commit 0x08 <- 0x5A. The zone takes its registers when the effect
// code is written (so a static frame burst shows at once) and at every commit.
class SimLedZoneController : public SimLedController {
public:
    std::string ModelName() const override { return "led-zone"; }
    uint32_t Commits() const;
    // Takes the preset registers as what the zone shows.
    void LatchPresets();

protected:
    void OnWrite(uint8_t reg, uint8_t value) override;

private:
    void Latch(bool commit);
    uint32_t commits_ = 0;  // guarded by the register lock
    mutable std::mutex countMutex_;
};

}  // namespace pyx::sim
