#include <algorithm>
#include <tuple>

#include "CliTestRig.h"
#include "sim/SimScenario.h"

namespace pyx::clitest {
namespace {

using Json = nlohmann::json;

// Fans the simulated cards hold fixed, from what the hardware keeps, not what the program says.
size_t FixedFans(const Json& state) {
    const auto reg = [](const Json& chip, size_t r) {
        return std::stoi(chip.at("registers").get<std::string>().substr(r * 2, 2), nullptr, 16);
    };
    size_t fixed = 0;
    for (const Json& card : state.at("cards")) {
        for (const Json& c : card.at("tuning").at("coolers")) fixed += c.at("type") == 1 && c.at("policy") == 1;
        for (const Json& c : card.at("tuning").at("fanCoolers")) fixed += c.at("manual") == true;
        for (const Json& d : card.at("bus"))
            fixed += (d.at("model") == "fan-chip-slot1" && (reg(d, 0x5D) & 0xE0) == 0xE0) ||
                     (d.at("model") == "fan-chip-slot0" && (reg(d, 0x60) & 0x01) != 0);
    }
    return fixed;
}

class FanCommandTest : public CliTest {
protected:
    // A shipped scenario (none: the built-in card) with its first card changed and faults added.
    void Use(const char* shipped, const Json& card = {}, const Json& faults = {}) {
        Json scenario = Json::parse(shipped ? FileText(test::ShippedScenario(shipped)) : sim::SimScenario::DefaultJson());
        if (!card.empty()) scenario["cards"][0].merge_patch(card);
        if (!faults.empty()) scenario["faults"] = faults;
        UseScenarioText(scenario.dump());
        fs::remove(state_);
    }
    // Use, then a custom apply that fixes the fan; the fans left fixed. The trace starts after it.
    size_t PinFan(const char* shipped, const std::string& level, const Json& card = {}) {
        Use(shipped, card);
        const CliRun run = Run({"apply", "custom", "--yes", "--core", "0", "--mem", "0", "--power", "100", "--fan", level});
        EXPECT_EQ(run.status, 0) << run.err;
        fs::remove(trace_);
        return FixedFans(State());
    }
    // fan show --json's fans of GPU 0.
    Json ShownFans() {
        const CliRun run = Run({"fan", "show", "--json"});
        EXPECT_EQ(run.status, 0) << run.err;
        return Json::parse(run.out).at("gpus").at(0).at("fans");
    }
};

// Every fan path (nullptr: the built-in card): apply's --fan, fan show's row for it, fan show's fans.
const std::tuple<const char*, const char*, const char*, size_t> kFanCards[] = {
    {nullptr, "60", R"({"coolerId":2,"level":60,"mode":"manual","path":"fanCoolers")", 3},
    {"fan-type0-library.json", "60", R"({"coolerId":0,"level":60,"mode":"manual","path":"libraryCooler")", 1},
    {"fan-type1-slot1-chip.json", "60", R"("mode":"manual","path":"pacedLibraryCooler")", 1},
    {"fan-type2-slot1-bios.json", "60", R"("level":60,"mode":"manual","path":"libraryCoolerAndChip")", 1},
    {"fan-type3-slot0-chip.json", "3000", R"("level":3000,"mode":"manual","path":"tachometerChip","unit":"rpm")", 1},
    {"fan-type4-fan-coolers.json", "60", R"({"coolerId":1,"level":60,"mode":"manual","path":"fanCoolers")", 2},
};

// fan show tells a fixed fan; fan auto frees it; fan show, writing nothing, then says automatic.
TEST_F(FanCommandTest, AutoHandsEveryFanPathBackAndShowSaysWhoDrivesEach) {
    for (const auto& [scenario, level, pinnedRow, fans] : kFanCards) {
        SCOPED_TRACE(scenario ? scenario : "built-in");
        ASSERT_GT(PinFan(scenario, level), 0u) << "the apply fixed no fan";
        const std::string pinned = ShownFans().dump();
        EXPECT_NE(pinned.find(pinnedRow), std::string::npos) << pinned;
        // The text form prints the same document; one card is enough for it.
        EXPECT_TRUE(scenario || Run({"fan", "show"}).out.find("\nGPU 0  fan cooler 2: manual, 60 %\n") != std::string::npos);
        const CliRun run = Run({"fan", "auto"});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(FixedFans(State()), 0u) << run.out;
        fs::remove(trace_);
        const Json shown = ShownFans();
        EXPECT_EQ(shown.size(), fans) << shown.dump();
        for (const Json& fan : shown) EXPECT_EQ(fan.at("mode"), "automatic") << shown.dump();
        for (const std::string& line : test::TraceFile(trace_).Lines())
            EXPECT_TRUE(line.starts_with("I2CRead") || line.starts_with("Get")) << "fan show wrote: " << line;
    }
}

TEST_F(FanCommandTest, ARefusedHandBackIsNamedAndFailsTheCommand) {
    Use("fan-type4-fan-coolers.json", {}, {{"unsupportedIds", {"0xA58971A5"}}});  // FanCoolersSetControl
    const CliRun run = Run({"fan", "auto"});
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_NE(run.err.find("GPU 0 refused the hand-back of its fan coolers (fan speed 0 %): this card does not support it"),
              std::string::npos) << run.err;
}

// Bad arguments are refused before anything is sent: the fixed fan stays fixed.
TEST_F(FanCommandTest, BadArgumentsExitTwoAndSendNothing) {
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"fan", "auto", "--gpu", "1"}, "fan: --gpu: this machine has no GPU 1 (accepted: GPU 0)"},
        {{"fan", "auto", "--gpu", "0", "--all"}, "fan: --gpu and --all exclude each other"},
        {{"fan", "auto", "--json"}, "fan: --json belongs to show"},
        {{"fan", "spin"}, "fan: \"spin\" (accepted actions: auto, show, curve)"},
        {{"fan", "curve", "set", "40:30"}, "fan curve: a curve has 2 to 8 points (this one has 1)"},
        {{"fan", "curve", "set", "40:60", "70:30"}, "fan curve: the fan must not slow down as the GPU heats up"},
        {{"fan", "curve", "set", "40:30", "70:3000"}, "fan curve: GPU 0: the point 70:3000 is above the fan's highest level"},
        {{"fan", "curve", "set", "40:30", "70:90", "--gpu", "3"}, "fan curve: --gpu: this machine has no GPU 3"},
        {{"fan", "curve", "show", "--auto-below"}, "fan curve: --auto-below belongs to curve set"},
        {{"fan", "curve", "spin"}, "fan curve: \"spin\" (accepted: curve set, curve show)"},
    };
    const size_t pinned = PinFan(nullptr, "60");
    ASSERT_GT(pinned, 0u);
    for (const auto& [args, expected] : cases) {
        const CliRun run = Run(args);
        EXPECT_EQ(run.status, 2) << expected;
        EXPECT_NE(run.err.find("pyxtunectl " + std::string(expected)), std::string::npos) << run.err;
        EXPECT_EQ(FixedFans(State()), pinned) << expected;
    }
}

// A fan fixed by an earlier run on a GPU above its thermal limit: the monitor hands it back, once.
TEST_F(FanCommandTest, MonitorHandsBackAFixedFanAtTheThermalLimit) {
    ASSERT_EQ(PinFan("fan-type4-fan-coolers.json", "40", {{"temperatureC", 90}}), 2u);  // above the acoustic policy's 83 C
    const CliRun run = Run({"monitor", "--count", "2", "--interval", "10"});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(FixedFans(State()), 0u);
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 4) << run.out;  // back-end, 2 readings, 1 hand-back
    EXPECT_NE(run.out.find("\nGPU 0 reached 90 C, its thermal limit of 83 C"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace pyx::clitest
