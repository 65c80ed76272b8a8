#include "sim/SimLedEffectController.h"

namespace pyx::sim {

void SimLedEffectController::OnWrite(uint8_t reg, uint8_t value) {
    if (reg >= 0x02 && reg <= 0x04) {
        SimLedShown shown = ShownLocked();
        shown.r = registers_[0x02];
        shown.g = registers_[0x03];
        shown.b = registers_[0x04];
        ++shown.updates;
        UpdateShown(shown);
    }
    if (reg == 0x40 && value == 0x5A) Commit();
}

void SimLedEffectController::Commit() {
    SimLedShown shown = ShownLocked();
    shown.effectCode = registers_[0x30];
    shown.parameter = registers_[0x21];
    shown.defaultMode = registers_[0x50] == 0xFF;
    ++shown.updates;
    UpdateShown(shown);
    std::lock_guard lock(countMutex_);
    ++commits_;
}

void SimLedEffectController::LatchPresets() {
    SimLedShown shown;
    shown.r = registers_[0x02];
    shown.g = registers_[0x03];
    shown.b = registers_[0x04];
    shown.effectCode = registers_[0x30];
    shown.parameter = registers_[0x21];
    shown.defaultMode = registers_[0x50] == 0xFF;
    UpdateShown(shown);
}

uint32_t SimLedEffectController::Commits() const {
    std::lock_guard lock(countMutex_);
    return commits_;
}

}  // namespace pyx::sim
