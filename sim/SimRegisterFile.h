#pragma once
#include <array>
#include <mutex>

#include "sim/SimI2cDevice.h"

namespace pyx::sim {

// 256 byte-wide registers with auto-increment: the base of every device model. Models
// react to writes by overriding OnWrite / OnRead.
class SimRegisterFile : public SimI2cDevice {
public:
    bool Read(uint8_t reg, uint8_t* data, size_t length) override;
    bool Write(uint8_t reg, const uint8_t* data, size_t length) override;
    std::string ModelName() const override { return "registers"; }

    uint8_t Get(uint8_t reg) const;
    void Set(uint8_t reg, uint8_t value);

protected:
    // Called with the lock held, once per byte, after the byte is stored.
    virtual void OnWrite(uint8_t /*reg*/, uint8_t /*value*/) {}
    // Called with the lock held before a byte is read; may update the register.
    virtual void OnRead(uint8_t /*reg*/) {}

    std::array<uint8_t, 256> registers_{};

private:
    mutable std::mutex mutex_;
};

}  // namespace pyx::sim
