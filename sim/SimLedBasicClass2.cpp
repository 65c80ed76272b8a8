#include "sim/SimLedBasicClass2.h"

namespace pyx::sim {

void SimLedBasicClass2::OnWrite(uint8_t reg, uint8_t value) {
    if (reg != 0x30 || value != 0x07) return;
    SimLedShown shown = ShownLocked();
    shown.r = registers_[0x34];
    shown.g = registers_[0x35];
    shown.b = registers_[0x36];
    shown.effectCode = value;
    ++shown.updates;
    UpdateShown(shown);
}

void SimLedBasicClass2::OnLightingTick() {
    std::lock_guard lock(countMutex_);
    ++ticks_;
}

uint32_t SimLedBasicClass2::LightingTicks() const {
    std::lock_guard lock(countMutex_);
    return ticks_;
}

}  // namespace pyx::sim
