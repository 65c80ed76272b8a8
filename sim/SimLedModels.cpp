#include "sim/SimLedModels.h"

#include <nlohmann/json.hpp>

#include "sim/SimLedBasicClass1.h"
#include "sim/SimLedBasicClass2.h"
#include "sim/SimLedEffectController.h"
#include "sim/SimLedZoneController.h"

namespace pyx::sim {

std::unique_ptr<SimI2cDevice> MakeSimLedBasicClass1(const nlohmann::json& config) {
    auto device = std::make_unique<SimLedBasicClass1>();
    device->Configure(config, {0x40}, "led-basic-1");
    return device;
}

std::unique_ptr<SimI2cDevice> MakeSimLedBasicClass2(const nlohmann::json& config) {
    auto device = std::make_unique<SimLedBasicClass2>();
    device->Configure(config, {0x8A}, "led-basic-2");
    return device;
}

std::unique_ptr<SimI2cDevice> MakeSimLedZoneController(const nlohmann::json& config) {
    auto device = std::make_unique<SimLedZoneController>();
    device->Configure(config, {0x58, 0x46, 0x48, 0x4A, 0x4C}, "led-zone");
    device->LatchPresets();
    return device;
}

std::unique_ptr<SimI2cDevice> MakeSimLedEffectController(const nlohmann::json& config) {
    auto device = std::make_unique<SimLedEffectController>();
    device->Configure(config, {0xAC, 0xB0, 0xB4, 0xB8}, "led-effect");
    device->LatchPresets();
    return device;
}

}  // namespace pyx::sim
