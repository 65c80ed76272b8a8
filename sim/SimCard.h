#pragma once
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <mutex>
#include <string>
#include <vector>

#include "sim/SimI2cBus.h"
#include "sim/SimTuningState.h"

namespace pyx::sim {

inline constexpr int kSimClockTypes = 3;  // current, base, boost
inline constexpr int kSimClockDomains = 32;

struct SimThermalSensor {
    int32_t controller = 1;
    int32_t defaultMinC = 0;
    int32_t defaultMaxC = 127;
    int32_t currentC = 40;
    uint32_t target = 1;  // 1 = the GPU
};

// A workload that comes and goes: the GPU's temperature climbs from lowC to highC and falls
// back over periodS, from the library's start, and its load follows in step (0 % at lowC,
// 100 % at highC), so that fan curves and graphs have something to follow without a card.
struct SimHeatCycle {
    int32_t lowC = 40;
    int32_t highC = 80;
    uint32_t periodS = 120;
};

// One entry of the legacy performance-level table.
struct SimPerfLevel {
    struct Domain {
        uint32_t domainId = 0;  // 0 graphics, 4 memory
        uint32_t clockKHz = 0;
        uint32_t clock2KHz = 0;
    };
    uint32_t flags = 0;
    std::vector<Domain> domains;
};

// One simulated GPU: what the library reports about it and the chips on its bus.
// Its address is the physical GPU handle the simulated library hands out.
class SimCard {
public:
    uint32_t deviceId = 0;  // high 16 bits: PCI device id, low 16: vendor
    uint32_t subSystemId = 0;
    uint32_t revisionId = 0xA1;
    uint32_t extDeviceId = 0;
    std::string name;

    // kHz by clock type and domain; 0 = domain not present.
    std::array<std::array<uint32_t, kSimClockDomains>, kSimClockTypes> clockKHz{};
    std::vector<SimThermalSensor> sensors{SimThermalSensor{}};
    // GPU, frame buffer, video engine, bus utilisation in percent.
    std::array<uint32_t, 4> utilizationPercent{};
    // When set, the first sensor and the GPU's utilisation follow it (read under stateMutex).
    std::optional<SimHeatCycle> heatCycle;
    std::chrono::steady_clock::time_point startedAt = std::chrono::steady_clock::now();
    // What the card draws at full load ("powerDrawW"); none: the card does not report a draw.
    // It draws 30 % of it idle and the rest in step with the GPU's load.
    std::optional<uint32_t> fullPowerDrawMilliwatts;
    // Where the heat cycle stands now: the first sensor and the GPU's load follow it.
    void FollowHeatCycle() {
        if (!heatCycle) return;
        const auto elapsedMs =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - startedAt).count();
        const int64_t periodMs = static_cast<int64_t>(heatCycle->periodS) * 1000;
        const int64_t phase = elapsedMs % periodMs;
        // Up over the first half, down over the second: how far from low to high, in 1/1000.
        const int64_t share = (phase < periodMs / 2 ? phase : periodMs - phase) * 2000 / periodMs;
        sensors[0].currentC = heatCycle->lowC + static_cast<int32_t>((heatCycle->highC - heatCycle->lowC) * share / 1000);
        utilizationPercent[0] = static_cast<uint32_t>(share / 10);
    }
    std::optional<uint32_t> PowerDrawNowMilliwatts() const {
        if (!fullPowerDrawMilliwatts) return std::nullopt;
        const uint64_t full = *fullPowerDrawMilliwatts;
        return static_cast<uint32_t>(full * 30 / 100 + full * 70 / 100 * utilizationPercent[0] / 100);
    }

    // Legacy performance levels; the default is one plain level with both clocks.
    std::vector<SimPerfLevel> perfLevels{SimPerfLevel{0, {{0, 1506000, 1506000}, {4, 4006000, 4006000}}}};
    // The first bytes of the video BIOS as a ROM reader sees them.
    std::vector<uint8_t> biosImage;

    SimI2cBus bus;
    SimTuningState tuning;
    // False once the card is taken out (the state file's "pluggedIn": false): the library no
    // longer lists it, and its handle answers every call as one the driver has invalidated.
    std::atomic<bool> pluggedIn{true};

    // Guards the fields above that operations change while threads read them.
    mutable std::mutex stateMutex;
};

}  // namespace pyx::sim
