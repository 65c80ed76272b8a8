#pragma once
// Scenario text for the simulator, built from cards.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace pyx::test {

// The path of a scenario file shipped with the simulator.
std::filesystem::path ShippedScenario(const std::string& name);

// A 32-bit value as the scenario files write it: "0x1B8110DE", quotes included.
std::string Hex(uint32_t value);

// One card entry; deviceId is the 16-bit PCI device id, extra is added inside the object.
std::string CardJson(uint32_t deviceId, uint32_t subSystemId = 0x11223344, const std::string& i2c = "[]",
                     const std::string& extra = "");

// A scenario of the cards given; extra is added inside the outer object.
std::string ScenarioJson(const std::vector<std::string>& cards, const std::string& extra = "");

// n alike cards (device 0x1B81), each with the bus devices given.
std::string CardsJson(int n, const std::string& devicesJson = "[]");

// One card of the given PCI device id and clocks, with the tuning entry and bus devices given.
std::string TuningCard(const std::string& tuning, const std::string& i2c = "[]",
                       const std::string& deviceId = "0x1B8110DE");

}  // namespace pyx::test
