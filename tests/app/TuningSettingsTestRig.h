#pragma once
// Simulated cards behind the real GPU layer, with the board fields discovery would set, for
// the settings load and save tests.
#include <string>

#include "app/AppState.h"
#include "tests/support/ScenarioJson.h"
#include "tests/support/SimWorld.h"
#include "tests/app/CIniTestFiles.h"

namespace pyx::test {

// A Pascal card ("1b81"): boost clock, one library fan held at 65 % by hand, a lighting zone
// controller at 0x58, over-voltage 7 %, the default VF curve with its last graphics point
// (79) and last memory point (81) set apart.
inline constexpr char kPascalCard[] = R"({
  "deviceId": "0x1B8110DE", "subSystemId": "0xA0141B4C",
  "i2c": [{"address": 88, "model": "led-zone"}],
  "tuning": {
    "graphicsDelta": {"deltaKHz": 120000},
    "memoryDelta": {"deltaKHz": 350500},
    "power": {"currentPcm": 112500},
    "coolers": [{"level": 65, "manual": true}],
    "overVoltagePercent": 7,
    "vfPoints": [{"first": 0, "last": 78, "offsetKHz": 5000}, {"first": 79, "offsetKHz": 25000},
                 {"first": 80, "offsetKHz": 1000}, {"first": 81, "offsetKHz": 2000}]
  }
})";

// A card of the VF-point family ("2684"): no legacy cooler, two fan coolers at 70 % by hand,
// graphics points 0-77 at +10 MHz, 78 at +45 MHz, 79 fixed; memory points at +300 MHz.
inline constexpr char kVfCard[] = R"({
  "deviceId": "0x268410DE", "subSystemId": "0x00000000",
  "tuning": {
    "graphicsDelta": {"deltaKHz": -150999},
    "memoryDelta": {"deltaKHz": 0},
    "power": {"currentPcm": 95000},
    "coolers": [],
    "fanCoolers": [{"id": 1, "level": 70}, {"id": 2, "level": 70}],
    "vfPoints": [{"first": 0, "last": 77, "offsetKHz": 10000}, {"first": 78, "offsetKHz": 45000},
                 {"first": 79, "type": "fixed", "offsetKHz": -5000},
                 {"first": 80, "last": 81, "offsetKHz": 300000}]
  }
})";

// Without a trace; a scenario without cards is allowed (gpuCount says it).
struct TuningRig : SimWorld {
    explicit TuningRig(const std::string& scenarioJson)
        : SimWorld(scenarioJson, {.traced = false, .expectCards = false}) {
        for (int gpu = 0; gpu < table->gpuCount; ++gpu) {
            uint32_t deviceId = 0;
            uint32_t subSystemId = 0;
            EXPECT_EQ(table->ReadPciIdentifiers(gpu, &deviceId, &subSystemId), kNvOk);
            GpuBoard& board = table->Board(gpu);
            board.hasBoostClock = 1;
            // What discovery concludes for the two kinds of card above.
            if (Card(static_cast<size_t>(gpu)).tuning.coolers.empty()) {
                board.family = BoardFamily::D;
                board.hasFanCoolersApi = 1;
                board.fan.Select(FanPath::FanCoolers);
            }
        }
    }

    sim::SimTuningState& Tuning(int gpu) { return Card(static_cast<size_t>(gpu)).tuning; }
    // The policy that carries the thermal limit (the simulated card lists policy 0 before it).
    sim::SimThermalPolicy& AcousticPolicy(int gpu) {
        for (sim::SimThermalPolicy& policy : Tuning(gpu).thermalPolicies)
            if (policy.id == 1) return policy;
        ADD_FAILURE() << "GPU " << gpu << " has no acoustic policy";
        return Tuning(gpu).thermalPolicies.at(0);
    }
};

// Lighting values that differ from the defaults in every byte.
inline LedSettings SampleLed() { return LedSettings{2, 10, 20, 30, 1, 2, 3, 4, 5}; }

}  // namespace pyx::test
