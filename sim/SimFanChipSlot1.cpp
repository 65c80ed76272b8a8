#include "sim/SimFanChipSlot1.h"

#include <nlohmann/json.hpp>

#include "sim/SimJson.h"

namespace pyx::sim {

SimFanChipSlot1::SimFanChipSlot1(uint8_t hardwareLimit) : hardwareLimit_(hardwareLimit) {
    registers_[0x3D] = 0x73;
    registers_[0x3E] = 0x41;
    registers_[0x38] = hardwareLimit;
    registers_[0x39] = hardwareLimit;
    registers_[0x5D] = 0x0A;
    registers_[0x31] = libraryDuty_.load();
    registers_[0x30] = libraryDuty_.load();
}

void SimFanChipSlot1::SetLibraryDutyPercent(uint32_t percent) {
    const uint32_t duty = (percent > 100 ? 100 : percent) * 255 / 100;
    libraryDuty_.store(static_cast<uint8_t>(duty));
}

void SimFanChipSlot1::OnWrite(uint8_t reg, uint8_t value) {
    switch (reg) {
    case 0x3D:
        registers_[0x3D] = 0x73;
        break;
    case 0x3E:
        registers_[0x3E] = 0x41;
        break;
    case 0x38:
    case 0x39:
        if (value > hardwareLimit_) registers_[reg] = hardwareLimit_;
        break;
    default:
        break;
    }
}

void SimFanChipSlot1::OnRead(uint8_t reg) {
    if (reg != 0x30) return;
    registers_[0x30] = (registers_[0x5D] & 0xE0) == 0xE0 ? registers_[0x31] : libraryDuty_.load();
}

// {"address": "0x5C", "dutyLimit": "0xE6", "registers": {"0x5D": 10}}
std::unique_ptr<SimI2cDevice> SimFanChipSlot1::FromConfig(const nlohmann::json& config) {
    const uint8_t limit = config.contains("dutyLimit") ? ToByte(config.at("dutyLimit"), "fan-chip-slot1 dutyLimit") : 0xE6;
    auto chip = std::make_unique<SimFanChipSlot1>(limit);
    if (config.contains("registers"))
        for (const auto& [reg, value] : config.at("registers").items())
            chip->Set(ToByte(nlohmann::json(reg), "fan-chip-slot1 register"),
                      ToByte(value, "fan-chip-slot1 register value"));
    return chip;
}

}  // namespace pyx::sim
