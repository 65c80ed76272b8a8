#pragma once
// One simulated card's changeable state: clocks, tuning and every bus device's registers.
// Taken whole and given back whole, so a card is never left with part of an old state.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/SimCard.h"

namespace pyx::sim {

struct SimDeviceState {
    uint8_t address = 0;
    std::string model;
    std::optional<std::array<uint8_t, 256>> registers;  // none for a device without a register file
    std::optional<uint16_t> fanTargetCount;             // the slot-0 fan chip's target count

    bool operator==(const SimDeviceState&) const = default;
};

struct SimCardState {
    uint32_t deviceId = 0;
    uint32_t subSystemId = 0;
    std::array<std::array<uint32_t, kSimClockDomains>, kSimClockTypes> clockKHz{};
    SimTuningState tuning;
    std::vector<SimDeviceState> devices;  // by ascending address
    bool pluggedIn = true;                // written only when false, so older files read as they were

    // Reads the card under its own locks.
    static SimCardState Capture(const SimCard& card);
    // Why this state cannot belong to the card (other ids, other devices on the bus); empty
    // when it can.
    std::string Mismatch(const SimCard& card) const;
    // Puts the state onto the card; check Mismatch first. Models that keep more than their
    // registers (what a zone shows, a fan chip's target) are brought in line with them.
    void ApplyTo(SimCard& card) const;

    nlohmann::json ToJson() const;
    bool operator==(const SimCardState&) const = default;
    // Throws std::runtime_error naming the field (prefixed by where) that is missing or bad.
    static SimCardState FromJson(const nlohmann::json& value, const std::string& where);
};

}  // namespace pyx::sim
