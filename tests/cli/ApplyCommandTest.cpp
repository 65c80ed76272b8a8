#include "CliTestRig.h"

namespace pyx::clitest {
namespace {

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    for (const auto& l : lines)
        if (l == line) return true;
    return false;
}

TEST_F(CliTest, OverclockingModesNeedYesAndShowTheWarningOtherwise) {
    for (const char* mode : {"extreme", "performance"}) {
        const CliRun run = Run({"apply", mode});
        EXPECT_EQ(run.status, 2) << mode;
        EXPECT_NE(run.err.find("--yes"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("警告：对显卡进行超频"), std::string::npos) << run.err;
        EXPECT_EQ(run.out.find("Hardware settings applied!"), std::string::npos);
    }
    // Refused before any card was opened: no state may exist yet, and none changed.
    EXPECT_TRUE(TraceOf("SetPstates20").empty()) << Trace();
    EXPECT_TRUE(!fs::exists(state_) || Tuning(State())["graphics"]["deltaKHz"] == 0);
    const CliRun custom = Run({"apply", "custom", "--core", "10", "--mem", "0", "--power", "100", "--fan", "50"});
    EXPECT_EQ(custom.status, 2);
    EXPECT_TRUE(TraceOf("SetPstates20").empty());
}

TEST_F(CliTest, PerformanceAndCommonReachTheCardAsTheWindowsApplyDoes) {
    CliRun run = Run({"apply", "performance", "--yes"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Hardware settings applied!"), std::string::npos);
    // Boost 1683000 kHz: 3 % is 50490 kHz; power 90 %, thermal limit 90 C.
    EXPECT_TRUE(Contains(TraceOf("SetPstates20"), "SetPstates20 gpu=0 pstate=0 domain=0 deltaKHz=50490 status=0"))
        << Trace();
    EXPECT_TRUE(Contains(TraceOf("PowerPoliciesSetStatus"), "PowerPoliciesSetStatus gpu=0 power=90000 status=0"));
    nlohmann::json state = State();
    EXPECT_EQ(Tuning(state)["graphics"]["deltaKHz"], 50490);
    EXPECT_EQ(Tuning(state)["power"]["currentPcm"], 90000);
    EXPECT_EQ(Tuning(state)["thermalPolicies"][1]["currentLimit"], 90 * 256);
    EXPECT_NE(run.out.find("GPU 0  graphics offset 50 MHz  memory offset 0 MHz  power target 90 %"), std::string::npos)
        << run.out;

    // Common needs no confirmation and brings the defaults back.
    run = Run({"apply", "common", "--json"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto doc = nlohmann::json::parse(run.out);
    EXPECT_EQ(doc["gpus"][0]["graphicsOffsetMHz"], 0);
    EXPECT_EQ(doc["gpus"][0]["powerPercent"], 100);
    state = State();
    EXPECT_EQ(Tuning(state)["graphics"]["deltaKHz"], 0);
    EXPECT_EQ(Tuning(state)["thermalPolicies"][1]["currentLimit"], 83 * 256);
}

TEST_F(CliTest, CustomValuesAreCheckedAgainstTheCardsRangesBeforeAnythingIsSent) {
    struct Case {
        std::vector<std::string> args;
        const char* expected;
    };
    const Case cases[] = {
        {{"--core", "900", "--mem", "0", "--power", "100", "--fan", "50"}, "--core: 900 MHz is outside GPU 0's range -200..200 MHz"},
        {{"--core", "0", "--mem", "0", "--power", "130", "--fan", "50"}, "--power: 130 % is outside GPU 0's range 50..120 %"},
        // The VF offsets reach the card as P-state offsets too: only the card's -200..200 MHz
        // is offered (323 was refused by the card, after the tool had accepted it).
        {{"--core", "0", "--mem", "0", "--power", "100", "--fan", "50", "--gpu-vf", "323"}, "--gpu-vf: 323 MHz is outside GPU 0's range -200..200 MHz"},
        {{"--core", "abc", "--mem", "0", "--power", "100", "--fan", "50"}, "--core: \"abc\" is not accepted"},
        {{"--core", "0", "--mem", "0", "--power", "100"}, "custom needs --fan"},
        {{"--core", "0", "--mem", "0", "--power", "100", "--fan", "50", "--gpu", "1"}, "--gpu: \"1\" is not accepted (accepted: a whole number from 0 to 0)"},
        {{"--core", "0", "--mem", "0", "--power", "100", "--fan", "50", "--gpu", "0", "--all"}, "--gpu and --all"},
        {{"--core", "0", "--mem", "0", "--power", "100", "--fan", "50", "--bogus"}, "unknown argument \"--bogus\""},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"apply", "custom", "--yes"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CliRun run = Run(args);
        EXPECT_EQ(run.status, 2) << c.expected;
        EXPECT_NE(run.err.find(c.expected), std::string::npos) << run.err;
    }
    EXPECT_TRUE(TraceOf("SetPstates20").empty()) << Trace();
    const CliRun preset = Run({"apply", "common", "--core", "5"});
    EXPECT_EQ(preset.status, 2);
    EXPECT_NE(preset.err.find("--core belongs to custom"), std::string::npos) << preset.err;
    EXPECT_EQ(Run({"apply", "turbo"}).status, 2);
}

TEST_F(CliTest, CustomSetsClocksPowerAndFanAndOneRunSeesTheNext) {
    CliRun run = Run({"apply", "custom", "--yes", "--core", "100", "--mem", "200", "--power", "110", "--fan", "60"});
    ASSERT_EQ(run.status, 0) << run.err;
    const nlohmann::json state = State();
    EXPECT_EQ(Tuning(state)["graphics"]["deltaKHz"], 100000);
    EXPECT_EQ(Tuning(state)["memory"]["deltaKHz"], 200000);
    EXPECT_EQ(Tuning(state)["power"]["currentPcm"], 110000);
    EXPECT_EQ(Tuning(state)["fanCoolers"][0]["manualLevel"], 60);
    EXPECT_TRUE(Contains(TraceOf("FanCoolersSetControl"), "FanCoolersSetControl gpu=0 cooler=2 level=60 manual=1 status=0"))
        << Trace();

    // The next run starts from the card as the last one left it.
    run = Run({"monitor", "--json"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto reading = nlohmann::json::parse(run.out);
    EXPECT_EQ(reading["graphicsClockMHz"], 1506 + 100);
    EXPECT_EQ(reading["memoryClockMHz"], 4006 + 200);
    EXPECT_EQ(reading["fan"], 60);
    EXPECT_EQ(reading["fanUnit"], "percent");

    const fs::path profile = dir_ / "mine.ini";
    run = Run({"profile", "save", profile.string()});
    ASSERT_EQ(run.status, 0) << run.err;
    run = Run({"profile", "show", profile.string(), "--json"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto keys = nlohmann::json::parse(run.out)[0]["keys"];
    EXPECT_EQ(keys["DyaGpuClock"], "100");
    EXPECT_EQ(keys["DyaMemClock"], "200");
    EXPECT_EQ(keys["PowerTarget"], "110");
    EXPECT_EQ(keys["FanSpeed"], "60");
}

TEST_F(CliTest, AValueTheCardDoesNotTakeIsAHardwareRefusal) {
    UseScenarioText(R"({"cards": [{"deviceId": "0x1B8110DE", "subSystemId": "0xA0141B4C",
        "clocks": {"current": {"graphics": 1506000, "memory": 4006000}, "boost": {"graphics": 1683000}},
        "tuning": {"graphicsDelta": {"editable": false}}}]})");
    const CliRun run = Run({"apply", "custom", "--yes", "--core", "50", "--mem", "0", "--power", "100", "--fan", "40"});
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_NE(run.err.find("GPU 0 did not take every value: it holds graphics 0 MHz (asked 50)"), std::string::npos)
        << run.err;
}

TEST_F(CliTest, AllAppliesToEveryGpu) {
    UseScenario("two-cards.json");
    const CliRun run = Run({"apply", "common", "--all"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto lines = TraceOf("PowerPoliciesSetStatus");
    EXPECT_TRUE(Contains(lines, "PowerPoliciesSetStatus gpu=0 power=100000 status=0")) << Trace();
    EXPECT_TRUE(Contains(lines, "PowerPoliciesSetStatus gpu=1 power=100000 status=0")) << Trace();
}

TEST_F(CliTest, APresetTheCardRefusesIsAHardwareRefusal) {
    UseScenarioText(R"({"cards": [{"deviceId": "0x1B8110DE", "subSystemId": "0x11223344",
        "clocks": {"current": {"graphics": 1506000, "memory": 4006000}, "boost": {"graphics": 1683000}}}],
        "faults": {"unsupportedIds": ["0x0F4DAE6B"]}})");
    for (const char* mode : {"extreme", "performance", "common"}) {
        const CliRun run = Run({"apply", mode, "--yes"});
        EXPECT_EQ(run.status, 1) << mode << run.out << run.err;
        EXPECT_NE(run.err.find("pyxtunectl apply: GPU 0 refused " + std::string(mode) +
                               "'s graphics clock offset 0 MHz: this card does not support it (status -104)"),
                  std::string::npos)
            << run.err;
        EXPECT_EQ(run.out.find("Hardware settings applied!"), std::string::npos) << "no success line: " << run.out;
        EXPECT_NE(run.out.find("GPU 0  graphics offset 0 MHz"), std::string::npos) << "what the card holds: " << run.out;
    }
    // The document says the same: not applied, and each refused write with its value.
    const CliRun json = Run({"apply", "performance", "--yes", "--json"});
    EXPECT_EQ(json.status, 1);
    const auto doc = nlohmann::json::parse(json.out);
    EXPECT_EQ(doc.at("backend"), "sim");
    EXPECT_EQ(doc.at("applied"), false);
    ASSERT_EQ(doc.at("refusals").size(), 3u) << doc.dump();
    EXPECT_EQ(doc.at("refusals").at(2), (nlohmann::json{{"gpu", 0}, {"operation", "graphicsClockOffset"}, {"value", 50},
                                                  {"unit", "MHz"}, {"status", -104}}));
    // The writes after the refused offsets still reached the card.
    EXPECT_TRUE(Contains(TraceOf("PowerPoliciesSetStatus"), "PowerPoliciesSetStatus gpu=0 power=90000 status=0"))
        << Trace();

    // The same card without the fault takes every preset.
    UseScenarioText(R"({"cards": [{"deviceId": "0x1B8110DE", "subSystemId": "0x11223344",
        "clocks": {"current": {"graphics": 1506000, "memory": 4006000}, "boost": {"graphics": 1683000}}}]})");
    fs::remove(state_);
    for (const char* mode : {"extreme", "performance", "common"}) {
        const CliRun run = Run({"apply", mode, "--yes"});
        EXPECT_EQ(run.status, 0) << mode << run.err;
        EXPECT_EQ(run.err.find("refused"), std::string::npos) << run.err;
        EXPECT_NE(run.out.find("Hardware settings applied!"), std::string::npos) << run.out;
    }
    const auto clean = nlohmann::json::parse(Run({"apply", "common", "--json"}).out);
    EXPECT_EQ(clean.at("applied"), true);
    EXPECT_TRUE(clean.at("refusals").empty());
}

}  // namespace
}  // namespace pyx::clitest
