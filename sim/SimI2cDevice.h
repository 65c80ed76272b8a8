#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace pyx::sim {

// A chip on a simulated card's I2C bus. A transaction names one register; multi-byte
// transfers continue at the following registers, as the real chips auto-increment.
class SimI2cDevice {
public:
    virtual ~SimI2cDevice() = default;

    // false: the device did not acknowledge.
    virtual bool Read(uint8_t reg, uint8_t* data, size_t length) = 0;
    virtual bool Write(uint8_t reg, const uint8_t* data, size_t length) = 0;
    virtual std::string ModelName() const = 0;

    // Fault injection: a device that stops answering fails every transaction.
    bool answering = true;
};

}  // namespace pyx::sim
