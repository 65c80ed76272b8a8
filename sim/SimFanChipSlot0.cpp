#include "sim/SimFanChipSlot0.h"

#include <stdexcept>
#include <utility>

#include <nlohmann/json.hpp>

#include "sim/SimJson.h"

namespace pyx::sim {

namespace {
constexpr uint16_t kPowerUpCount = 1000;  // 1500 RPM
}

SimFanChipSlot0::SimFanChipSlot0(uint8_t address, bool variant3000) : address_(address) {
    registers_[0x02] = 0xC0;
    registers_[0x04] = address;
    registers_[0x60] = 0x02;
    registers_[0x74] = static_cast<uint8_t>(kPowerUpCount >> 8);
    registers_[0x75] = static_cast<uint8_t>(kPowerUpCount & 0xFF);
    registers_[0x92] = variant3000 ? 0x04 : 0x00;
    std::lock_guard lock(modelMutex_);
    targetCount_ = kPowerUpCount;
    Convert();
}

void SimFanChipSlot0::SetSensorSamples(std::vector<int> samplesC) {
    if (samplesC.empty()) samplesC.push_back(40);
    std::lock_guard lock(modelMutex_);
    samplesC_ = std::move(samplesC);
    nextSample_ = 0;
}

void SimFanChipSlot0::SetStopped(bool stopped) {
    std::lock_guard lock(modelMutex_);
    stopped_ = stopped;
}

uint16_t SimFanChipSlot0::TargetCount() const {
    std::lock_guard lock(modelMutex_);
    return targetCount_;
}

int SimFanChipSlot0::Conversions() const {
    std::lock_guard lock(modelMutex_);
    return conversions_;
}

void SimFanChipSlot0::Convert() {
    const int sensor = samplesC_[nextSample_ < samplesC_.size() ? nextSample_ : samplesC_.size() - 1];
    if (nextSample_ < samplesC_.size()) ++nextSample_;
    const int reported = sensor + static_cast<int8_t>(registers_[0x64]);
    lastTemperatureC_ = static_cast<uint8_t>(reported < 0 ? 0 : reported > 255 ? 255 : reported);
    registers_[0x14] = lastTemperatureC_;
    registers_[0x1A] = 0;
    ++conversions_;
}

uint16_t SimFanChipSlot0::MeasuredCount() const {
    if (stopped_) return 0;
    if ((registers_[0x60] & 0x01) != 0) return targetCount_;
    const uint8_t fullAtC = registers_[0xA0];
    const uint8_t lowestAtC = registers_[0xA1];
    if (fullAtC == 0) return targetCount_;  // no curve programmed: the power-up speed
    uint8_t units = registers_[0xA5];
    if (lastTemperatureC_ >= fullAtC) units = registers_[0xA4];
    else if (lastTemperatureC_ <= lowestAtC) units = registers_[0xA6];
    return static_cast<uint16_t>(units << 4);
}

void SimFanChipSlot0::OnWrite(uint8_t reg, uint8_t value) {
    std::lock_guard lock(modelMutex_);
    switch (reg) {
    case 0x01:
        if (value & 0x04) Convert();
        break;
    case 0x04:
        registers_[0x04] = address_;  // read-only
        break;
    case 0x14:
    case 0x1A:
        registers_[0x14] = lastTemperatureC_;
        registers_[0x1A] = 0;
        break;
    case 0x74:
        targetCount_ = static_cast<uint16_t>((value << 8) | (targetCount_ & 0xFF));
        break;
    case 0x75:
        targetCount_ = static_cast<uint16_t>((targetCount_ & 0xFF00) | value);
        break;
    default:
        break;
    }
}

void SimFanChipSlot0::OnRead(uint8_t reg) {
    if (reg != 0x74 && reg != 0x75) return;
    std::lock_guard lock(modelMutex_);
    const uint16_t count = MeasuredCount();
    registers_[0x74] = static_cast<uint8_t>(count >> 8);
    registers_[0x75] = static_cast<uint8_t>(count & 0xFF);
}

// {"address": "0x5C", "variant3000": false, "sensorC": 40, "stopped": false,
//  "registers": {"0x64": 3}}
std::unique_ptr<SimI2cDevice> SimFanChipSlot0::FromConfig(const nlohmann::json& config) {
    const uint8_t address = ToByte(config.at("address"), "fan-chip-slot0 address");
    bool variant = false;
    if (config.contains("variant3000")) {
        if (!config.at("variant3000").is_boolean()) throw std::runtime_error("fan-chip-slot0 variant3000: expected true or false");
        variant = config.at("variant3000").get<bool>();
    }
    auto chip = std::make_unique<SimFanChipSlot0>(address, variant);
    if (config.contains("registers"))
        for (const auto& [reg, value] : config.at("registers").items())
            chip->Set(ToByte(nlohmann::json(reg), "fan-chip-slot0 register"),
                      ToByte(value, "fan-chip-slot0 register value"));
    if (config.contains("sensorC")) chip->SetSensorC(ToI32(config.at("sensorC"), "fan-chip-slot0 sensorC"));
    if (config.contains("stopped")) {
        if (!config.at("stopped").is_boolean()) throw std::runtime_error("fan-chip-slot0 stopped: expected true or false");
        chip->SetStopped(config.at("stopped").get<bool>());
    }
    return chip;
}

}  // namespace pyx::sim
