#pragma once
#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

namespace pyx::sim {

// Scenario numbers may be written as JSON numbers or as "0x..." / decimal strings, since
// PCI ids and register addresses read best in hex. Bad values throw std::runtime_error
// naming what was being read.
uint32_t ToU32(const nlohmann::json& value, const std::string& what);
int32_t ToI32(const nlohmann::json& value, const std::string& what);
uint8_t ToByte(const nlohmann::json& value, const std::string& what);

}  // namespace pyx::sim
