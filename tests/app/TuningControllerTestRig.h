#pragma once
// Simulated cards behind the real GPU layer for the tuning modes, the slider ranges and the
// readouts, with the trace in a file of its own so tests see exactly what reached a card.
#include <cstdint>
#include <string>

#include "tests/support/ScenarioJson.h"
#include "tests/support/SimWorld.h"

namespace pyx::test {

// One card: boost 1,700,000 kHz without offset (the card reports 1,820,000 with its +120 MHz
// in effect, as cards do), P0 offsets graphics +120 MHz in -200..+200 and memory
// +350.5 MHz in -500..+1000, power 50..116.5 % (default 100, now 112.5), an acoustic policy
// whose default (83.5 C) differs from policy 0's (80 C), one library fan held at 65 % by
// hand, no VF range (no clock domains), GPU load 37 %, 52 C.
inline std::string PlainCard(const std::string& deviceId = "0x1B8110DE",
                             const std::string& subSystemId = "0x11223344") {
    return R"({"deviceId": ")" + deviceId + R"(", "subSystemId": ")" + subSystemId + R"(",
      "clocks": {"current": {"graphics": 1733500, "memory": 4006999},
                 "base": {"graphics": 1506000, "memory": 4006000},
                 "boost": {"graphics": 1820000, "memory": 4006000}},
      "temperatureC": 52, "utilization": 37,
      "tuning": {
        "graphicsDelta": {"deltaKHz": 120000, "minKHz": -200000, "maxKHz": 200000},
        "memoryDelta": {"deltaKHz": 350500, "minKHz": -500000, "maxKHz": 1000000},
        "power": {"minPcm": 50000, "defaultPcm": 100000, "maxPcm": 116500, "currentPcm": 112500},
        "thermal": {"policies": [{"id": 0, "minC": 60, "defaultC": 80, "maxC": 90, "acoustic": false},
                                 {"id": 1, "minC": 65, "defaultC": 83.5, "maxC": 92}]},
        "coolers": [{"type": 1, "min": 0, "max": 100, "level": 65, "manual": true}],
        "clockDomains": [], "vfPoints": []
      }})";
}

// A card of the VF-point family: fan coolers only (1 and 2 at 70 % by hand), P-state offsets
// +40 MHz (graphics) and +150 MHz (memory), graphics VF domain -1000..+1000 MHz over points
// 0-79 (first point +10 MHz), memory -1000..+1000 MHz over points 80-81 (+300 MHz).
inline std::string VfCard() {
    return R"({"deviceId": "0x268410DE", "subSystemId": "0x00000000",
      "clocks": {"current": {"graphics": 2520000, "memory": 10501000},
                 "boost": {"graphics": 2520000, "memory": 10501000}},
      "tuning": {
        "graphicsDelta": {"deltaKHz": 40000, "minKHz": -200000, "maxKHz": 200000},
        "memoryDelta": {"deltaKHz": 150000, "minKHz": -500000, "maxKHz": 1000000},
        "coolers": [],
        "fanCoolers": [{"id": 1, "level": 70}, {"id": 2, "level": 70}],
        "clockDomains": [
          {"type": "prog", "domain": "graphics", "offsetMaxKHz": 1000000, "offsetMinKHz": -1000000, "firstVf": 0, "lastVf": 79},
          {"type": "prog", "domain": "memory", "offsetMaxKHz": 1000000, "offsetMinKHz": -1000000, "firstVf": 80, "lastVf": 81}],
        "vfPoints": [{"first": 0, "last": 79, "offsetKHz": 10000}, {"first": 80, "last": 81, "offsetKHz": 300000}]
      }})";
}

class TuningTestRig : public SimWorld {
public:
    explicit TuningTestRig(const std::string& scenarioJson) : SimWorld(scenarioJson) {
        // What discovery concludes for the two kinds of card above.
        for (int gpu = 0; gpu < table->gpuCount; ++gpu) {
            GpuBoard& board = table->Board(gpu);
            board.hasBoostClock = 1;
            board.fanRangeMin = 0;
            board.fanRangeMax = 100;
            if (Card(gpu).tuning.coolers.empty()) {
                board.family = BoardFamily::D;
                board.hasFanCoolersApi = 1;
                board.fan.Select(FanPath::FanCoolers);
            }
        }
    }
};

// Trace lines as the layer writes them.
inline std::string GraphicsLine(int gpu, int32_t khz, int status = 0) {
    return "SetPstates20 gpu=" + std::to_string(gpu) + " pstate=0 domain=0 deltaKHz=" + std::to_string(khz) +
           " status=" + std::to_string(status);
}
inline std::string MemoryLine(int gpu, int32_t khz, int status = 0) {
    return "SetPstates20 gpu=" + std::to_string(gpu) + " pstate=0 domain=4 deltaKHz=" + std::to_string(khz) +
           " status=" + std::to_string(status);
}
inline std::string PowerLine(int gpu, uint32_t pcm) {
    return "PowerPoliciesSetStatus gpu=" + std::to_string(gpu) + " power=" + std::to_string(pcm) + " status=0";
}

}  // namespace pyx::test
