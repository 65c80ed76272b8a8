#pragma once
#include <atomic>
#include <cstdint>

#include <memory>

#include <nlohmann/json_fwd.hpp>

#include "sim/SimRegisterFile.h"

namespace pyx::sim {

// The duty-cycle fan controller found at slot 1 (0x5C). Its registers:
//   0x3D, 0x3E  identification, 0x73 and 0x41 (read-only)
//   0x30  duty the fan runs at: the target (0x31) in manual mode, else the duty the GPU
//         drives (the library's cooler level)
//   0x31  target duty, 0..255
//   0x38, 0x39  duty limits: a write is held at the chip's hardware limit, so writing 0xFF
//         and reading back tells the limit
//   0x5D  mode: bits 0xE0 all set = manual; bits 0x1F are other settings and are kept
//   0x7B  configuration; discovery writes 0x55
class SimFanChipSlot1 : public SimRegisterFile {
public:
    explicit SimFanChipSlot1(uint8_t hardwareLimit = 0xE6);
    std::string ModelName() const override { return "fan-chip-slot1"; }
    // From a scenario's bus entry; bad values throw std::runtime_error naming the key.
    static std::unique_ptr<SimI2cDevice> FromConfig(const nlohmann::json& config);

    // What the GPU's fan output drives, as the library's cooler level in percent.
    void SetLibraryDutyPercent(uint32_t percent);
    bool Manual() const { return (Get(0x5D) & 0xE0) == 0xE0; }
    uint8_t HardwareLimit() const { return hardwareLimit_; }

protected:
    void OnWrite(uint8_t reg, uint8_t value) override;
    void OnRead(uint8_t reg) override;

private:
    const uint8_t hardwareLimit_;
    std::atomic<uint8_t> libraryDuty_{77};  // 30 %
};

}  // namespace pyx::sim
