#pragma once
#include "sim/SimLedController.h"

namespace pyx::sim {

// The basic controller of class 2 (0x8A): R, G, B at 0x34..0x36, shown when 0x30 <- 0x07
// latches them. It also counts the library's lighting ticks for its card.
class SimLedBasicClass2 : public SimLedController {
public:
    std::string ModelName() const override { return "led-basic-2"; }
    void OnLightingTick();
    uint32_t LightingTicks() const;

protected:
    void OnWrite(uint8_t reg, uint8_t value) override;

private:
    mutable std::mutex countMutex_;
    uint32_t ticks_ = 0;
};

}  // namespace pyx::sim
