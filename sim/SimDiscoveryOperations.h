#pragma once
// What discovery reads from a simulated card beyond its PCI ids: the legacy
// performance-level table and the first bytes of the video BIOS.
#include <cstdint>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "sim/SimCard.h"
#include "sim/SimLibrary.h"

namespace pyx::sim {

void RegisterDiscoveryOperations(SimOperationTable& table);

// Scenario "perfLevels": [{"flags": 0, "domains": [{"domain": "graphics"|"memory"|id,
// "clockKHz": n, "clock2KHz": n}]}]; clock2KHz defaults to clockKHz. Throws
// std::runtime_error naming the field on a bad value.
std::vector<SimPerfLevel> ReadPerfLevels(const nlohmann::json& levels);

// Scenario "bios": a string (its bytes from offset 0) or {"text" | "hex", "offset", "size"}.
// The image is `size` bytes (default 2048), zero where nothing was given.
std::vector<uint8_t> ReadBiosImage(const nlohmann::json& bios);
// A BIOS carrying an ordinary version tag and no fan-chip marker.
std::vector<uint8_t> DefaultBiosImage();

inline constexpr size_t kSimBiosDefaultSize = 2048;
inline constexpr size_t kSimBiosMaxSize = 1u << 20;

}  // namespace pyx::sim
