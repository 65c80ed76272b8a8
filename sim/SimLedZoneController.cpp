#include "sim/SimLedZoneController.h"

namespace pyx::sim {

void SimLedZoneController::OnWrite(uint8_t reg, uint8_t value) {
    if (reg == 0x06) Latch(false);
    if (reg == 0x08 && value == 0x5A) Latch(true);
}

void SimLedZoneController::Latch(bool commit) {
    SimLedShown shown = ShownLocked();
    shown.r = registers_[0x02];
    shown.g = registers_[0x03];
    shown.b = registers_[0x04];
    shown.parameter = registers_[0x05];
    shown.effectCode = registers_[0x06];
    ++shown.updates;
    if (commit) {
        std::lock_guard lock(countMutex_);
        ++commits_;
    }
    UpdateShown(shown);
}

void SimLedZoneController::LatchPresets() {
    Latch(false);
    SimLedShown shown = ShownLocked();
    shown.updates = 0;
    UpdateShown(shown);
}

uint32_t SimLedZoneController::Commits() const {
    std::lock_guard lock(countMutex_);
    return commits_;
}

}  // namespace pyx::sim
