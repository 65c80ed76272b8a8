#pragma once
#include <cstdint>
#include <mutex>
#include <vector>

#include <memory>

#include <nlohmann/json_fwd.hpp>

#include "sim/SimRegisterFile.h"

namespace pyx::sim {

// The tachometer fan controller found at slot 0 (0x5C or 0x5A). Its registers:
//   0x01  configuration; a write with bit 0x04 set starts one temperature conversion
//   0x02  status; bits 0x40 / 0x80 are fault flags latched at power-up
//   0x04  the chip's own bus address (read-only)
//   0x14  temperature of the last conversion in degrees C: sensor + offset (0x64, signed)
//   0x1A  fraction of that temperature (always 0 here)
//   0x60  fan configuration: bit 0x01 manual (run at the count in 0x74/0x75), bit 0x04 an
//         alternative drive mode, bit 0x02 set at power-up
//   0x64  temperature offset, two's complement
//   0x74  tachometer count, high byte; 0x75 low byte. Written: the target count in manual
//         mode. Read: the count measured, which is the target in manual mode, else the
//         automatic curve's count; 0 while the fan stands still.
//   0x92  bit 0x04: the 3000 RPM variant
//   0xA0  curve: temperature for full speed; 0xA1 temperature for the lowest speed;
//   0xA4..0xA6  counts >> 4 for full, middle and lowest speed (0xA7, 0xA8 repeat the lowest)
class SimFanChipSlot0 : public SimRegisterFile {
public:
    explicit SimFanChipSlot0(uint8_t address, bool variant3000 = false);
    std::string ModelName() const override { return "fan-chip-slot0"; }
    // From a scenario's bus entry; bad values throw std::runtime_error naming the key.
    static std::unique_ptr<SimI2cDevice> FromConfig(const nlohmann::json& config);

    // The chip's sensor; every conversion takes the next sample, the last one repeats.
    void SetSensorSamples(std::vector<int> samplesC);
    void SetSensorC(int celsius) { SetSensorSamples({celsius}); }
    // A fan that stands still: the tachometer reads 0.
    void SetStopped(bool stopped);
    // The count last written to 0x74/0x75.
    uint16_t TargetCount() const;
    bool Manual() const { return (Get(0x60) & 0x01) != 0; }
    int Conversions() const;

protected:
    void OnWrite(uint8_t reg, uint8_t value) override;
    void OnRead(uint8_t reg) override;

private:
    void Convert();
    uint16_t MeasuredCount() const;

    std::vector<int> samplesC_{40};
    size_t nextSample_ = 0;
    int conversions_ = 0;
    uint8_t lastTemperatureC_ = 40;
    uint16_t targetCount_ = 1000;
    bool stopped_ = false;
    uint8_t address_;
    // Guards the model's state above; taken after the register lock, never before it.
    mutable std::mutex modelMutex_;
};

}  // namespace pyx::sim
