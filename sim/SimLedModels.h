#pragma once
#include <memory>

#include <nlohmann/json_fwd.hpp>

#include "sim/SimI2cDevice.h"

namespace pyx::sim {

// Makers of the lighting controller models from their scenario entries:
//   {"address": "0x58", "model": "led-zone", "registers": {"0x05": 4}, "nakRegisters": ["0x06"]}
std::unique_ptr<SimI2cDevice> MakeSimLedBasicClass1(const nlohmann::json& config);  // "led-basic-1"
std::unique_ptr<SimI2cDevice> MakeSimLedBasicClass2(const nlohmann::json& config);  // "led-basic-2"
std::unique_ptr<SimI2cDevice> MakeSimLedZoneController(const nlohmann::json& config);    // "led-zone"
std::unique_ptr<SimI2cDevice> MakeSimLedEffectController(const nlohmann::json& config);  // "led-effect"

}  // namespace pyx::sim
