#include "sim/SimScenario.h"

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

#include <nlohmann/json.hpp>

#include "sim/SimDeviceFactory.h"
#include "sim/SimDiscoveryOperations.h"
#include "sim/SimJson.h"
#include "sim/SimTuningState.h"

namespace pyx::sim {

using nlohmann::json;

namespace {

constexpr size_t kMaxSimCards = 8;

void ReadClocks(const json& clocks, SimCard& card) {
    static const char* const kTypes[kSimClockTypes] = {"current", "base", "boost"};
    static const std::pair<const char*, int> kDomains[] = {{"graphics", 0}, {"memory", 4}, {"processor", 7}};
    for (int t = 0; t < kSimClockTypes; ++t) {
        if (!clocks.contains(kTypes[t])) continue;
        const json& type = clocks.at(kTypes[t]);
        for (const auto& [name, domain] : kDomains)
            if (type.contains(name))
                card.clockKHz[static_cast<size_t>(t)][static_cast<size_t>(domain)] =
                    ToU32(type.at(name), std::string("clocks.") + kTypes[t] + "." + name);
    }
}

void ReadDevices(const json& devices, SimCard& card, const SimDeviceFactory& factory) {
    for (const json& entry : devices) {
        const uint8_t address = ToByte(entry.at("address"), "i2c address");
        const std::string model = entry.value("model", "registers");
        auto device = factory.Make(model, entry);
        if (!device) {
            std::string known;
            for (const auto& m : factory.Models()) known += (known.empty() ? "" : ", ") + m;
            throw std::runtime_error("unknown device model \"" + model + "\" (known: " + known + ")");
        }
        device->answering = entry.value("answering", true);
        card.bus.Attach(address, std::move(device));
    }
}

void ReadCard(const json& entry, SimCard& card, const SimDeviceFactory& factory) {
    card.name = entry.value("name", "Simulated GPU");
    card.deviceId = ToU32(entry.at("deviceId"), "deviceId");
    card.subSystemId = ToU32(entry.at("subSystemId"), "subSystemId");
    if (entry.contains("revisionId")) card.revisionId = ToU32(entry.at("revisionId"), "revisionId");
    if (entry.contains("clocks")) ReadClocks(entry.at("clocks"), card);
    if (entry.contains("temperatureC")) card.sensors[0].currentC = ToI32(entry.at("temperatureC"), "temperatureC");
    if (entry.contains("utilization"))
        card.utilizationPercent[0] = ToU32(entry.at("utilization"), "utilization");
    if (entry.contains("powerDrawW")) card.fullPowerDrawMilliwatts = ToU32(entry.at("powerDrawW"), "powerDrawW") * 1000;
    if (entry.contains("heatCycle")) {
        const json& cycle = entry.at("heatCycle");
        SimHeatCycle heat;
        heat.lowC = ToI32(cycle.at("lowC"), "heatCycle.lowC");
        heat.highC = ToI32(cycle.at("highC"), "heatCycle.highC");
        heat.periodS = ToU32(cycle.at("periodS"), "heatCycle.periodS");
        if (heat.highC <= heat.lowC || heat.periodS < 2)
            throw std::runtime_error("heatCycle: highC must be above lowC and periodS at least 2");
        card.heatCycle = heat;
    }
    if (entry.contains("i2c")) ReadDevices(entry.at("i2c"), card, factory);
    if (entry.contains("tuning")) ReadTuningState(entry.at("tuning"), card.tuning);
    if (entry.contains("perfLevels")) card.perfLevels = ReadPerfLevels(entry.at("perfLevels"));
    card.biosImage = entry.contains("bios") ? ReadBiosImage(entry.at("bios")) : DefaultBiosImage();
}

void ReadFaults(const json& faults, SimLibrary& library) {
    library.failPrimaryI2c = faults.value("failPrimaryI2c", false);
    if (faults.contains("unknownIds"))
        for (const json& id : faults.at("unknownIds")) library.SetUnknownId(ToU32(id, "unknownIds"));
    if (faults.contains("unsupportedIds"))
        for (const json& id : faults.at("unsupportedIds")) library.SetUnsupported(ToU32(id, "unsupportedIds"));
    if (faults.contains("busMicrosPerByte"))
        library.SetBusTimePerByte(std::chrono::microseconds(ToU32(faults.at("busMicrosPerByte"), "busMicrosPerByte")));
}

}  // namespace

std::unique_ptr<SimLibrary> SimScenario::FromText(const std::string& text, const std::string& source,
                                                  std::string& error) {
    try {
        const json root = json::parse(text);
        if (!root.is_object()) throw std::runtime_error("the top level must be an object");
        const json& cards = root.at("cards");
        if (!cards.is_array()) throw std::runtime_error("\"cards\" must be an array");
        if (cards.size() > kMaxSimCards)
            throw std::runtime_error("at most " + std::to_string(kMaxSimCards) + " cards, found " +
                                     std::to_string(cards.size()));
        auto library = std::make_unique<SimLibrary>();
        library->scenarioName = root.value("name", source);
        const SimDeviceFactory factory;
        for (size_t i = 0; i < cards.size(); ++i) {
            try {
                ReadCard(cards[i], library->AddCard(), factory);
            } catch (const std::exception& e) {
                throw std::runtime_error("card " + std::to_string(i) + ": " + e.what());
            }
        }
        if (root.contains("faults")) ReadFaults(root.at("faults"), *library);
        // Cards added after the faults are read still get the modelled bus time.
        if (root.contains("faults") && root.at("faults").contains("busMicrosPerByte"))
            library->SetBusTimePerByte(
                std::chrono::microseconds(ToU32(root.at("faults").at("busMicrosPerByte"), "busMicrosPerByte")));
        error.clear();
        return library;
    } catch (const std::exception& e) {
        error = "simulator scenario " + source + ": " + e.what();
        return nullptr;
    }
}

std::unique_ptr<SimLibrary> SimScenario::FromFile(const std::filesystem::path& path, std::string& error) {
    // Only a regular file of a scenario's size: a FIFO or a device would hold the program up
    // for ever, and a huge file is no scenario.
    constexpr std::uintmax_t kMaxScenarioBytes = 4u * 1024u * 1024u;
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (status.type() == std::filesystem::file_type::not_found) {
        error = "simulator scenario " + path.string() + ": cannot be opened";
        return nullptr;
    }
    if (ec || !std::filesystem::is_regular_file(status)) {
        error = "simulator scenario " + path.string() +
                (ec ? ": cannot be read (" + ec.message() + ")" : std::string(": is not a regular file"));
        return nullptr;
    }
    if (std::filesystem::file_size(path, ec) > kMaxScenarioBytes) {
        error = "simulator scenario " + path.string() + ": is larger than 4 MiB, far more than any scenario";
        return nullptr;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "simulator scenario " + path.string() + ": cannot be opened";
        return nullptr;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return FromText(text.str(), path.string(), error);
}

std::unique_ptr<SimLibrary> SimScenario::Default() {
    std::string error;
    auto library = FromText(DefaultJson(), "built-in default", error);
    if (!library) throw std::logic_error(error);  // a broken built-in scenario is a build fault
    return library;
}

const char* SimScenario::DefaultJson() {
    return R"json({
  "name": "built-in default",
  "cards": [
    {
      "name": "Simulated GeForce GTX 1070",
      "deviceId": "0x1B8110DE",
      "subSystemId": "0xA0141B4C",
      "clocks": {
        "current": {"graphics": 1506000, "memory": 4006000},
        "base":    {"graphics": 1506000, "memory": 4006000},
        "boost":   {"graphics": 1683000, "memory": 4006000}
      },
      "temperatureC": 45,
      "utilization": 7,
      "tuning": {
        "graphicsDelta": {"minKHz": -200000, "maxKHz": 200000},
        "memoryDelta": {"minKHz": -500000, "maxKHz": 1000000},
        "power": {"minPcm": 50000, "defaultPcm": 100000, "maxPcm": 120000},
        "thermal": {"policies": [{"id": 0, "minC": 60, "defaultC": 83, "maxC": 92, "acoustic": false},
                                 {"id": 1, "minC": 65, "defaultC": 83, "maxC": 92}]},
        "coolers": [{"type": 1, "min": 0, "max": 100, "defaultLevel": 30}],
        "fanCoolers": [{"id": 1, "maxRpm": 3000}, {"id": 2, "maxRpm": 3000}],
        "overVoltagePercent": 0,
        "clockDomains": [
          {"type": "prog", "domain": "graphics", "offsetMaxKHz": 1000000, "offsetMinKHz": -1000000, "firstVf": 0, "lastVf": 79},
          {"type": "prog", "domain": "memory", "offsetMaxKHz": 1000000, "offsetMinKHz": -1000000, "firstVf": 80, "lastVf": 81}
        ],
        "vfPoints": [{"first": 0, "last": 81, "type": "prog"}]
      },
      "i2c": [
        {"address": "0x5C", "model": "fan-chip-slot1", "dutyLimit": "0xE6"},
        {"address": "0x60", "model": "registers"},
        {"address": "0x58", "model": "led-zone"},
        {"address": "0x46", "model": "led-zone"},
        {"address": "0x48", "model": "led-zone"},
        {"address": "0x4A", "model": "led-zone"},
        {"address": "0x4C", "model": "led-zone"},
        {"address": "0xAC", "model": "led-effect"},
        {"address": "0xB0", "model": "led-effect"},
        {"address": "0xB4", "model": "led-effect"},
        {"address": "0xB8", "model": "led-effect"}
      ]
    }
  ]
})json";
}

}  // namespace pyx::sim
