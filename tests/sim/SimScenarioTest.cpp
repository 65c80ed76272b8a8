#include <filesystem>
#include <fstream>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <gtest/gtest.h>

#include "sim/SimRegisterFile.h"
#include "sim/SimScenario.h"

namespace pyx::sim {
namespace {

TEST(SimScenario, BadScenariosAreRefusedWithAMessageNamingTheFileAndTheFault) {
    struct Case { const char* json; const char* expected; };
    const Case cases[] = {
        {"{not json", "parse error"},
        {R"([1, 2])", "top level must be an object"},
        {R"({"name": "x"})", "cards"},
        {R"({"cards": {}})", "\"cards\" must be an array"},
        {R"({"cards": [{"subSystemId": 1}]})", "card 0"},
        {R"({"cards": [{"deviceId": "0xZZ", "subSystemId": 1}]})", "deviceId"},
        {R"({"cards": [{"deviceId": 1, "subSystemId": 1, "i2c": [{"address": 300}]}]})", "not a byte"},
        {R"({"cards": [{"deviceId": 1, "subSystemId": 1, "i2c": [{"address": 1, "model": "toaster"}]}]})",
         "unknown device model \"toaster\""},
        {R"({"cards": [{"deviceId": 1, "subSystemId": 1, "heatCycle": {"lowC": 80, "highC": 40, "periodS": 60}}]})",
         "heatCycle: highC must be above lowC"},
        {R"({"cards": [{"deviceId": 1, "subSystemId": 1, "heatCycle": {"lowC": 40, "highC": 80}}]})", "periodS"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_EQ(SimScenario::FromText(c.json, "my.json", error), nullptr) << c.json;
        EXPECT_NE(error.find("my.json"), std::string::npos) << error;
        EXPECT_NE(error.find(c.expected), std::string::npos) << error;
    }
    std::string nine = R"({"cards": [)";
    for (int i = 0; i < 9; ++i) nine += std::string(i ? "," : "") + R"({"deviceId": 1, "subSystemId": 2})";
    std::string error;
    EXPECT_EQ(SimScenario::FromText(nine + "]}", "nine.json", error), nullptr);
    EXPECT_NE(error.find("at most 8 cards"), std::string::npos) << error;

    EXPECT_EQ(SimScenario::FromFile("/nonexistent/scenario.json", error), nullptr);
    EXPECT_EQ(error, "simulator scenario /nonexistent/scenario.json: cannot be opened");
    // Nothing but a regular file is read: a FIFO would never end the read.
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "pyx-scenario-not-a-file";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    std::vector<std::filesystem::path> odd = {folder};
#ifndef _WIN32
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
    odd.push_back(folder / "fifo");
#endif
    for (const std::filesystem::path& path : odd) {
        EXPECT_EQ(SimScenario::FromFile(path, error), nullptr);
        EXPECT_EQ(error, "simulator scenario " + path.string() + ": is not a regular file");
    }
    std::filesystem::remove_all(folder);
}

TEST(SimScenario, ReadsCardsDevicesAndFaults) {
    std::string error;
    auto library = SimScenario::FromText(R"({
        "name": "two cards",
        "cards": [
          {"deviceId": "0x1E8710DE", "subSystemId": 305419896,
           "clocks": {"boost": {"graphics": "1800000"}, "current": {"memory": 7000000}},
           "temperatureC": 61, "utilization": 55,
           "i2c": [{"address": "0x5C", "registers": {"0x01": "0x12", "2": 255}},
                   {"address": "0x60", "answering": false}]},
          {"deviceId": 1, "subSystemId": 2}
        ],
        "faults": {"failPrimaryI2c": true, "unknownIds": ["0x2FDE12C5"], "busMicrosPerByte": 10}
    })", "t.json", error);
    ASSERT_NE(library, nullptr) << error;
    EXPECT_EQ(library->scenarioName, "two cards");
    ASSERT_EQ(library->CardCount(), 2u);
    SimCard& card = library->Card(0);
    EXPECT_EQ(card.deviceId, 0x1E8710DEu);
    EXPECT_EQ(card.subSystemId, 0x12345678u);
    EXPECT_EQ(card.clockKHz[2][0], 1800000u);
    EXPECT_EQ(card.clockKHz[0][4], 7000000u);
    EXPECT_EQ(card.sensors[0].currentC, 61);
    EXPECT_EQ(card.utilizationPercent[0], 55u);
    auto* chip = card.bus.DeviceAs<SimRegisterFile>(0x5C);
    ASSERT_NE(chip, nullptr);
    EXPECT_EQ(chip->Get(1), 0x12);
    EXPECT_EQ(chip->Get(2), 0xFF);
    EXPECT_FALSE(card.bus.Device(0x60)->answering);
    EXPECT_EQ(card.bus.Device(0x61), nullptr);
    EXPECT_TRUE(library->failPrimaryI2c);
    library->Activate();
    EXPECT_EQ(SimLibrary::QueryInterface(0x2FDE12C5), nullptr);
    EXPECT_NE(SimLibrary::QueryInterface(0xE812EB07), nullptr);
}

TEST(SimScenario, ShippedScenariosAllLoad) {
    ASSERT_NE(SimScenario::Default(), nullptr);
    int loaded = 0;
    for (const auto& entry : std::filesystem::directory_iterator(PYX_SIM_SCENARIO_DIR)) {
        if (entry.path().extension() != ".json") continue;
        std::string error;
        EXPECT_NE(SimScenario::FromFile(entry.path(), error), nullptr) << error;
        ++loaded;
    }
    RecordProperty("scenarios", loaded);
}

TEST(SimRegisterFile, BurstsAutoIncrementAndWrapAndASilentDeviceRefusesEverything) {
    SimRegisterFile device;
    const uint8_t burst[4] = {1, 2, 3, 4};
    ASSERT_TRUE(device.Write(0xFE, burst, 4));
    EXPECT_EQ(device.Get(0xFE), 1);
    EXPECT_EQ(device.Get(0xFF), 2);
    EXPECT_EQ(device.Get(0x00), 3);
    uint8_t back[4] = {};
    ASSERT_TRUE(device.Read(0xFE, back, 4));
    EXPECT_EQ(back[3], 4);
    device.answering = false;
    EXPECT_FALSE(device.Read(0, back, 1));
    EXPECT_FALSE(device.Write(0, burst, 1));
    EXPECT_EQ(device.Get(0x00), 3) << "a refused write changes nothing";
}

}  // namespace
}  // namespace pyx::sim
