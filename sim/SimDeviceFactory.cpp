#include "sim/SimDeviceFactory.h"

#include <nlohmann/json.hpp>

#include "sim/SimFanChipSlot0.h"
#include "sim/SimFanChipSlot1.h"
#include "sim/SimJson.h"
#include "sim/SimLedModels.h"
#include "sim/SimRegisterFile.h"

namespace pyx::sim {

SimDeviceFactory::SimDeviceFactory() { RegisterDeviceModels(*this); }

void SimDeviceFactory::Register(const std::string& model, Maker maker) {
    makers_[model] = std::move(maker);
}

std::unique_ptr<SimI2cDevice> SimDeviceFactory::Make(const std::string& model,
                                                     const nlohmann::json& config) const {
    auto it = makers_.find(model);
    if (it == makers_.end()) return nullptr;
    return it->second(config);
}

std::vector<std::string> SimDeviceFactory::Models() const {
    std::vector<std::string> names;
    for (const auto& [name, maker] : makers_) names.push_back(name);
    return names;
}

namespace {

// "registers": a plain register file, optionally preset: {"registers": {"0x01": 18, ...}}.
std::unique_ptr<SimI2cDevice> MakeRegisterFile(const nlohmann::json& config) {
    auto device = std::make_unique<SimRegisterFile>();
    if (config.contains("registers")) {
        for (const auto& [reg, value] : config.at("registers").items())
            device->Set(ToByte(nlohmann::json(reg), "register"), ToByte(value, "register value"));
    }
    return device;
}

}  // namespace

void RegisterDeviceModels(SimDeviceFactory& factory) {
    factory.Register("registers", MakeRegisterFile);
    factory.Register("fan-chip-slot0", SimFanChipSlot0::FromConfig);
    factory.Register("fan-chip-slot1", SimFanChipSlot1::FromConfig);
    factory.Register("led-basic-1", MakeSimLedBasicClass1);
    factory.Register("led-basic-2", MakeSimLedBasicClass2);
    factory.Register("led-zone", MakeSimLedZoneController);
    factory.Register("led-effect", MakeSimLedEffectController);
}

}  // namespace pyx::sim
