#include "sim/SimLedBasicClass1.h"

namespace pyx::sim {

void SimLedBasicClass1::OnWrite(uint8_t reg, uint8_t value) {
    // A two-byte command arrives as two consecutive register writes.
    const bool second = static_cast<uint8_t>(lastReg_ + 1) == reg;
    if (second && ((lastReg_ == 0x00 && lastValue_ == 0x10 && (value == 0x01 || value == 0x02)) ||
                   (lastReg_ == 0xFF && lastValue_ == 0x00 && value == 0x01))) {
        std::lock_guard lock(countMutex_);
        ++initCommands_;
    }
    lastReg_ = reg;
    lastValue_ = value;
    if (reg == 0x0A) {
        SimLedShown shown = ShownLocked();
        shown.r = registers_[0x06];
        shown.g = registers_[0x07];
        shown.b = registers_[0x08];
        shown.level = registers_[0x09];
        ++shown.updates;
        UpdateShown(shown);
    }
}

uint32_t SimLedBasicClass1::InitCommands() const {
    std::lock_guard lock(countMutex_);
    return initCommands_;
}

}  // namespace pyx::sim
