#include "sim/SimRegisterFile.h"

namespace pyx::sim {

bool SimRegisterFile::Read(uint8_t reg, uint8_t* data, size_t length) {
    if (!answering) return false;
    std::lock_guard lock(mutex_);
    for (size_t i = 0; i < length; ++i) {
        const auto r = static_cast<uint8_t>(reg + i);
        OnRead(r);
        data[i] = registers_[r];
    }
    return true;
}

bool SimRegisterFile::Write(uint8_t reg, const uint8_t* data, size_t length) {
    if (!answering) return false;
    std::lock_guard lock(mutex_);
    for (size_t i = 0; i < length; ++i) {
        const auto r = static_cast<uint8_t>(reg + i);
        registers_[r] = data[i];
        OnWrite(r, data[i]);
    }
    return true;
}

uint8_t SimRegisterFile::Get(uint8_t reg) const {
    std::lock_guard lock(mutex_);
    return registers_[reg];
}

void SimRegisterFile::Set(uint8_t reg, uint8_t value) {
    std::lock_guard lock(mutex_);
    registers_[reg] = value;
}

}  // namespace pyx::sim
