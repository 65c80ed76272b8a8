#pragma once
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "sim/SimI2cDevice.h"

namespace pyx::sim {

// What the simulated library received for one transaction, as tests check it.
struct SimI2cRecord {
    enum class Kind { Read, Write, ReadEx, WriteEx } kind;
    uint32_t version;
    uint32_t displayMask;
    uint8_t ddcPortByte;
    uint8_t devAddress;
    uint8_t reg;
    uint32_t length;
    uint32_t i2cSpeed;
    uint32_t i2cSpeedKhz;
    uint8_t portId;
    uint32_t portIdSet;
    std::vector<uint8_t> data;  // written bytes, or bytes returned
    bool acknowledged;
};

// One card's bus: devices by 8-bit address. An address without a device does not answer.
class SimI2cBus {
public:
    void Attach(uint8_t devAddress, std::unique_ptr<SimI2cDevice> device);
    SimI2cDevice* Device(uint8_t devAddress) const;
    // Every address a device is attached at, in ascending order.
    std::vector<uint8_t> Addresses() const;
    template <typename T>
    T* DeviceAs(uint8_t devAddress) const { return dynamic_cast<T*>(Device(devAddress)); }

    // Returns whether the device acknowledged; waits the modelled bus time.
    bool Transfer(const SimI2cRecord& request, uint8_t* data);

    // Modelled time per byte on the wire (address, register and data bytes); 0 = instant.
    void SetTimePerByte(std::chrono::microseconds perByte) { perByte_ = perByte; }

    std::vector<SimI2cRecord> Log() const;
    void ClearLog();

private:
    mutable std::mutex mutex_;
    std::map<uint8_t, std::unique_ptr<SimI2cDevice>> devices_;
    std::vector<SimI2cRecord> log_;
    std::chrono::microseconds perByte_{0};
};

}  // namespace pyx::sim
