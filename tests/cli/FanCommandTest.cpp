#include <algorithm>
#include <set>

#include "CliTestRig.h"
#include "sim/SimScenario.h"

namespace pyx::clitest {
namespace {

using Json = nlohmann::json;

int Register(const Json& device, int reg) {
    return std::stoi(device.at("registers").get<std::string>().substr(static_cast<size_t>(reg) * 2, 2), nullptr, 16);
}

// Every fan the simulated cards hold at a fixed level, by what the hardware itself keeps.
std::vector<std::string> FixedFans(const Json& state) {
    std::vector<std::string> fixed;
    for (const Json& card : state.at("cards")) {
        for (const Json& cooler : card.at("tuning").at("coolers"))
            if (cooler.at("type") == 1 && cooler.at("policy") == 1) fixed.push_back("library cooler");
        for (const Json& cooler : card.at("tuning").at("fanCoolers"))
            if (cooler.at("manual") == true) fixed.push_back("fan cooler " + cooler.at("id").dump());
        for (const Json& device : card.at("bus")) {
            if (device.at("model") == "fan-chip-slot1" && (Register(device, 0x5D) & 0xE0) == 0xE0) fixed.push_back("duty chip");
            if (device.at("model") == "fan-chip-slot0" && (Register(device, 0x60) & 0x01) != 0) fixed.push_back("tachometer chip");
        }
    }
    return fixed;
}

// A shipped scenario (none: the built-in card) with its first card changed and faults added.
std::string ScenarioWith(const char* shipped, const Json& card, const Json& faults = Json::object()) {
    Json scenario = Json::parse(shipped ? FileText(test::ShippedScenario(shipped)) : sim::SimScenario::DefaultJson());
    if (card.is_object()) scenario["cards"][0].merge_patch(card);
    if (faults.is_object()) scenario["faults"] = faults;
    return scenario.dump();
}

const Json kRefuseFanCoolerWrites = {{"unsupportedIds", {"0xA58971A5"}}};  // FanCoolersSetControl

// Between them every fan path, each with a level its fan takes.
struct FanCard {
    const char* scenario;  // nullptr: the built-in card
    Json card;             // changes to its first card
    const char* fan;       // apply custom's --fan
    const char* pinnedLine;                // fan show's line for a fan the apply fixed
    const char* pinnedRow;                 // the same in its document (ShownFans)
    size_t fans;                           // fan show's rows
    std::vector<std::string> paths;        // fan auto's lines
    std::vector<std::string> handBackTrace;  // "Operation text" the hand-back sends
};

const FanCard kFanCards[] = {
    {nullptr, {}, "60", "fan cooler 2: manual, 60 %", "fanCoolers/2 manual 60 percent", 3, {"paced library cooler", "fan coolers"},
     {"RestoreCoolerSettings gpu=0", "FanCoolersSetControl level=0 manual=0 status=0"}},
    {"fan-type0-library.json", {}, "60", "library cooler: manual, 60 %", "libraryCooler/0 manual 60 percent", 1, {"library cooler"}, {"RestoreCoolerSettings gpu=0"}},
    {"fan-type1-slot1-chip.json", {}, "60", "paced library cooler: manual", "pacedLibraryCooler/0 manual", 1, {"paced library cooler"},
     {"RestoreCoolerSettings gpu=0"}},
    {"fan-type2-slot1-bios.json", {}, "60",
     "library cooler and chip: manual, 60 %", "libraryCoolerAndChip/0 manual 60 percent", 1, {"library cooler and chip"}, {"I2CWrite reg=0x5d", "RestoreCoolerSettings gpu=0"}},
    {"fan-type3-slot0-chip.json", {}, "3000", "tachometer chip: manual, 3000 RPM", "tachometerChip/0 manual 3000 rpm", 1,
     {"tachometer chip"}, {"I2CWrite reg=0xa0"}},
    {"fan-type4-fan-coolers.json", {}, "60", "fan cooler 1: manual, 60 %", "fanCoolers/1 manual 60 percent", 2, {"fan coolers"},
     {"FanCoolersSetControl level=0 manual=0 status=0"}},
};

class FanCommandTest : public CliTest {
protected:
    void Use(const char* scenario, const Json& card = Json::object(), const Json& faults = Json::object()) {
        UseScenarioText(ScenarioWith(scenario, card, faults));
        fs::remove(state_);
        fs::remove(trace_);
    }
    CliRun PinFan(const std::string& fan) {
        return Run({"apply", "custom", "--yes", "--core", "0", "--mem", "0", "--power", "100", "--fan", fan});
    }
    bool Traced(const std::string& line) const {
        const std::string operation = line.substr(0, line.find(' ')), text = line.substr(line.find(' ') + 1);
        for (const std::string& traced : TraceOf(operation))
            if (traced.find(text) != std::string::npos) return true;
        return false;
    }
    // fan show's document: "path/coolerId mode level unit" per fan of GPU 0.
    std::set<std::string> ShownFans() {
        const CliRun run = Run({"fan", "show", "--json"});
        EXPECT_EQ(run.status, 0) << run.err;
        const Json doc = Json::parse(run.out);
        EXPECT_EQ(doc.at("backend"), "sim");
        std::set<std::string> modes;
        for (const Json& fan : doc.at("gpus").at(0).at("fans"))
            modes.insert(fan.at("path").get<std::string>() + "/" + fan.at("coolerId").dump() + " " +
                         fan.at("mode").get<std::string>() + " " + fan.at("level").dump() + " " +
                         fan.at("unit").get<std::string>());
        return modes;
    }
};

// After a custom apply fixed the fan, fan show says so and fan auto leaves every fan path under
// the card's control, on every path; fan show then says that, and writes nothing.
TEST_F(FanCommandTest, AutoHandsEveryFanPathBackAndShowTellsWhoDrivesEach) {
    for (const FanCard& card : kFanCards) {
        const std::string name = card.scenario ? card.scenario : "built-in";
        Use(card.scenario, card.card);
        ASSERT_EQ(PinFan(card.fan).status, 0) << name;
        ASSERT_FALSE(FixedFans(State()).empty()) << name << ": the apply fixed no fan";
        const CliRun shown = Run({"fan", "show"});
        EXPECT_NE(shown.out.find("\nGPU 0  " + std::string(card.pinnedLine)), std::string::npos) << name << shown.out;
        const std::set<std::string> pinned = ShownFans();
        EXPECT_TRUE(std::any_of(pinned.begin(), pinned.end(), [&](const std::string& f) { return f.starts_with(card.pinnedRow); }))
            << name << ": " << Json(pinned).dump();
        fs::remove(trace_);

        const CliRun run = Run({"fan", "auto"});
        EXPECT_EQ(run.status, 0) << name << run.err;
        EXPECT_EQ(run.out.rfind("Back-end: sim - SIMULATED cards", 0), 0u) << run.out;
        EXPECT_EQ(FixedFans(State()), std::vector<std::string>{}) << name;
        for (const std::string& path : card.paths)
            EXPECT_NE(run.out.find("GPU 0  " + path + ": handed back to the card\n"), std::string::npos) << name << run.out;
        for (const std::string& line : card.handBackTrace) EXPECT_TRUE(Traced(line)) << name << ": " << line << "\n" << Trace();

        fs::remove(trace_);
        const std::set<std::string> fans = ShownFans();
        EXPECT_EQ(fans.size(), card.fans) << name;
        for (const std::string& fan : fans) EXPECT_NE(fan.find(" automatic "), std::string::npos) << name << " " << fan;
        for (const std::string& line : test::TraceFile(trace_).Lines())
            EXPECT_TRUE(line.starts_with("I2CRead") || line.starts_with("Get")) << name << " fan show wrote: " << line;
    }
}

// A hand-back the card refuses is named with its status and fails the command; the card's
// other fan paths are still handed back.
TEST_F(FanCommandTest, ARefusedHandBackIsNamedAndFailsTheCommand) {
    for (const char* scenario : {"fan-type4-fan-coolers.json", static_cast<const char*>(nullptr)}) {
        Use(scenario, {}, kRefuseFanCoolerWrites);
        const CliRun run = Run({"fan", "auto"});
        EXPECT_EQ(run.status, 1) << run.out << run.err;
        EXPECT_NE(run.err.find("pyxtunectl fan: GPU 0 refused the hand-back of its fan coolers (fan speed 0 %): "
                               "this card does not support it (status -104)"),
                  std::string::npos)
            << run.err;
        EXPECT_NE(run.out.find("GPU 0  fan coolers: refused, this card does not support it (status -104)"),
                  std::string::npos)
            << run.out;
        EXPECT_EQ(run.out.find("Every fan path"), std::string::npos) << run.out;
        EXPECT_EQ(run.out.find("paced library cooler: handed back") != std::string::npos, scenario == nullptr) << run.out;
    }
}

// Bad arguments are refused with what is accepted, before anything is sent: a fixed fan stays.
TEST_F(FanCommandTest, BadArgumentsSendNothing) {
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"auto", "--gpu", "1"}, "--gpu: this machine has no GPU 1 (accepted: GPU 0)"},
        {{"auto", "--gpu", "x"}, "--gpu: \"x\" is not accepted"},
        {{"auto", "--gpu", "0", "--all"}, "--gpu and --all exclude each other"},
        {{"auto", "--json"}, "--json belongs to show"},
        {{"show", "--all"}, "--all belongs to auto"},
        {{"spin"}, "\"spin\" (accepted actions: auto, show)"},
        {{"auto", "--fast"}, "unknown argument \"--fast\""},
    };
    Use(nullptr);
    ASSERT_EQ(PinFan("60").status, 0);
    const std::vector<std::string> pinned = FixedFans(State());
    for (const auto& [args, expected] : cases) {
        std::vector<std::string> line = {"fan"};
        line.insert(line.end(), args.begin(), args.end());
        const CliRun run = Run(line);
        EXPECT_EQ(run.status, 2) << expected;
        EXPECT_NE(run.err.find("pyxtunectl fan: " + std::string(expected)), std::string::npos) << run.err;
        EXPECT_EQ(FixedFans(State()), pinned) << expected;
    }
    EXPECT_FALSE(Traced("FanCoolersSetControl manual=0")) << Trace();
    Use("two-cards.json");
    EXPECT_NE(Run({"fan", "auto", "--gpu", "5"}).err.find("no GPU 5 (accepted: GPUs 0, 1)"), std::string::npos);
    EXPECT_EQ(Run({"fan", "-h"}).out.rfind("usage: pyxtunectl fan auto [--gpu N | --all]", 0), 0u);
    EXPECT_NE(Run({"--help"}).out.find("\n  fan "), std::string::npos);
}

// A monitor that finds a fan fixed (by an earlier run) on a GPU at its thermal limit hands it
// back and says so, as a line or a JSON object; a refused hand-back makes its exit status 1.
TEST_F(FanCommandTest, MonitorHandsBackAFixedFanAtTheThermalLimit) {
    const Json hot = {{"temperatureC", 90}};  // above the acoustic policy's 83 C
    const std::pair<bool, bool> cases[] = {{false, false}, {true, false}, {true, true}};  // JSON, refused
    for (const auto& [json, refused] : cases) {
        Use("fan-type4-fan-coolers.json", hot);
        ASSERT_EQ(PinFan("40").status, 0);
        if (refused) UseScenarioText(ScenarioWith("fan-type4-fan-coolers.json", hot, kRefuseFanCoolerWrites));
        ASSERT_EQ(FixedFans(State()).size(), 2u);
        std::vector<std::string> args = {"monitor", "--count", "2", "--interval", "10"};
        if (json) args.push_back("--json");
        const CliRun run = Run(args);
        EXPECT_EQ(run.status, refused ? 1 : 0) << run.out << run.err;
        EXPECT_EQ(FixedFans(State()).size(), refused ? 2u : 0u);
        // Besides the back-end and two readings: the hand-back, once.
        std::istringstream lines(run.out);
        std::vector<std::string> handBacks;
        for (std::string line; std::getline(lines, line);)
            if (line.find("graphics") == std::string::npos && !line.starts_with("Back-end: ")) handBacks.push_back(line);
        ASSERT_EQ(handBacks.size(), 1u) << run.out;
        if (!json) {
            EXPECT_NE(handBacks[0].find("GPU 0 reached 90 C, its thermal limit of 83 C"), std::string::npos) << run.out;
            continue;
        }
        const Json event = Json::parse(handBacks[0]);
        const Json refusals = refused ? Json::array({{{"gpu", 0}, {"operation", "fanCoolerLevel"}, {"value", 0},
                                                      {"unit", "%"}, {"status", -104}}})
                                      : Json::array();
        EXPECT_EQ(event, (Json{{"backend", "sim"}, {"event", "fanHandBack"}, {"gpu", 0}, {"reason", "thermalLimit"},
                               {"temperatureC", 90}, {"limitC", 83}, {"refusals", refusals}}));
    }
}

}  // namespace
}  // namespace pyx::clitest
