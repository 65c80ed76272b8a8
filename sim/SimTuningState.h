#pragma once
// What a simulated card keeps for tuning: the P0 clock deltas, power and thermal policies,
// both cooler interfaces, over-voltage and the clock-client VF curve. Defaults describe a
// Pascal card with one library fan, so a scenario without a "tuning" entry can still be tuned.
#include <array>
#include <cstdint>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace pyx::sim {

struct SimClockDelta {
    int32_t deltaKHz = 0;
    int32_t minKHz = -200000;
    int32_t maxKHz = 200000;
    bool editable = true;

    bool operator==(const SimClockDelta&) const = default;
};

struct SimPowerPolicy {
    uint32_t minPcm = 50000;
    uint32_t defaultPcm = 100000;
    uint32_t maxPcm = 120000;
    uint32_t currentPcm = 100000;

    bool operator==(const SimPowerPolicy&) const = default;
};

struct SimThermalPolicy {
    uint32_t id = 1;
    int32_t minLimit = 65 * 256;  // 1/256 degrees C
    int32_t defaultLimit = 83 * 256;
    int32_t maxLimit = 92 * 256;
    int32_t currentLimit = 83 * 256;
    bool acousticAvailable = true;
    bool preferAcoustics = false;

    bool operator==(const SimThermalPolicy&) const = default;
};

inline constexpr uint32_t kSimCoolerPolicyManual = 1;
inline constexpr uint32_t kSimCoolerPolicyAuto = 0x20;

struct SimCooler {
    uint32_t type = 1;  // 1 = fan
    uint32_t minLevel = 0;
    uint32_t maxLevel = 100;
    uint32_t defaultLevel = 30;  // the level automatic control holds
    uint32_t currentLevel = 30;
    uint32_t policy = kSimCoolerPolicyAuto;

    bool operator==(const SimCooler&) const = default;
};

struct SimFanCooler {
    uint32_t id = 1;
    uint32_t maxRpm = 3000;
    uint32_t minLevel = 0;
    uint32_t maxLevel = 100;
    uint32_t autoLevel = 30;
    uint32_t manualLevel = 0;
    bool manual = false;

    uint32_t Level() const { return manual ? manualLevel : autoLevel; }
    uint32_t Rpm() const { return maxRpm * Level() / 100; }

    bool operator==(const SimFanCooler&) const = default;
};

struct SimClockDomain {
    uint32_t type = 0;  // 0 programmable, 1 fixed
    uint32_t domainId = 0;
    int32_t offsetMaxKHz = 0;
    int32_t offsetMinKHz = 0;
    uint8_t firstVf = 0;
    uint8_t lastVf = 0;

    bool operator==(const SimClockDomain&) const = default;
};

struct SimVfPoint {
    bool present = false;
    uint32_t type = 0;  // 0 programmable, 1 fixed
    uint8_t voltageBased = 1;
    int32_t offsetKHz = 0;

    bool operator==(const SimVfPoint&) const = default;
};

// Index 255 can be named by a domain and set in the mask, though no record holds its entry.
inline constexpr int kSimVfPoints = 256;

struct SimTuningState {
    SimTuningState();

    // P-states 2.0, P0 only.
    SimClockDelta graphics;
    SimClockDelta memory{0, -500000, 1000000, true};
    // How many of the next P-state reads fail (-1), to exercise the caller's retry.
    int pstatesReadFailures = 0;

    SimPowerPolicy power;

    bool thermalPoliciesSupported = true;
    std::vector<SimThermalPolicy> thermalPolicies;

    std::vector<SimCooler> coolers;
    // Empty: the board has no fan-cooler interface and its operations answer -104.
    std::vector<SimFanCooler> fanCoolers;

    uint8_t overVoltagePercent = 0;

    std::vector<SimClockDomain> clockDomains;  // index = entry index, at most 32
    std::array<SimVfPoint, kSimVfPoints> vfPoints{};

    bool operator==(const SimTuningState&) const = default;
};

// Reads the card's "tuning" entry over the defaults; bad values throw std::runtime_error
// naming the field.
void ReadTuningState(const nlohmann::json& tuning, SimTuningState& state);

}  // namespace pyx::sim
