#include "CliTestRig.h"

namespace pyx::clitest {
namespace {

bool HasLine(const std::vector<std::string>& lines, const std::string& line) {
    for (const auto& l : lines)
        if (l == line) return true;
    return false;
}

TEST_F(CliTest, EveryCommandHasHelp) {
    for (const char* command : {"list", "monitor", "apply", "profile", "led", "vf"}) {
        const CliRun run = Run({command, "--help"});
        EXPECT_EQ(run.status, 0) << command;
        EXPECT_NE(run.out.find(std::string("usage: pyxtunectl ") + command), std::string::npos) << run.out;
    }
    EXPECT_FALSE(fs::exists(state_)) << "help must not start the hardware";
}

// The built-in card (no scenario named) shows every feature a new user may try: its fan chip
// and both lighting controllers with their zones.
TEST_F(CliTest, ListNamesFamiliesBoostFanTypeAndLedControllers) {
    struct Case {
        const char* scenario;  // null: the built-in card
        const char* line;
        int boostMHz;
        size_t controllers;
    };
    const Case cases[] = {
        {nullptr,
         "GPU 0  families D  boost 1683 MHz  fan control type 1  "
         "LED controllers 0x58,0xAC,0xB0,0xB4,0xB8,0x46,0x48,0x4A,0x4C",
         1683, 9},
        {"led-zone.json",
         "GPU 0  families D  boost 1683 MHz  fan control type 0  LED controllers 0x58,0x46,0x48,0x4A,0x4C", 1683, 5},
        {"led-effect.json",
         "GPU 0  families D  boost 1683 MHz  fan control type 0  LED controllers 0xAC,0xB0,0xB4,0xB8", 1683, 4},
        {"minimal.json", "GPU 0  families D  boost 1708 MHz  fan control type 0  LED controllers none", 1708, 0},
    };
    for (const Case& c : cases) {
        const std::string name = c.scenario ? c.scenario : "built-in";
        if (c.scenario) UseScenario(c.scenario); else test::UnsetEnv("PYXTUNE_SIM_SCENARIO");
        fs::remove(state_);
        CliRun run = Run({"list"});
        ASSERT_EQ(run.status, 0) << name << ": " << run.err;
        EXPECT_NE(run.out.find(std::string(c.line) + "\n"), std::string::npos) << name << ":\n" << run.out;
        run = Run({"list", "--json"});
        ASSERT_EQ(run.status, 0) << name << ": " << run.err;
        const auto gpu = nlohmann::json::parse(run.out)["gpus"][0];
        EXPECT_EQ(gpu["boostClockMHz"], c.boostMHz) << name;
        EXPECT_EQ(gpu["ledControllers"].size(), c.controllers) << name;
    }
}

TEST_F(CliTest, MonitorTakesTheAskedNumberOfReadings) {
    CliRun run = Run({"monitor", "--count", "3", "--interval", "10"});
    ASSERT_EQ(run.status, 0) << run.err;
    size_t readings = 0;
    for (size_t at = run.out.find("GPU 0  graphics 1506 MHz  memory 4006 MHz  temperature 45 C  fan 30 %  load 7 %");
         at != std::string::npos; at = run.out.find("GPU 0  graphics", at + 1))
        ++readings;
    EXPECT_EQ(readings, 3u) << run.out;
    // Reading changes nothing, so nothing is traced.
    EXPECT_TRUE(TraceOf("SetPstates20").empty());
    run = Run({"monitor", "--interval", "5"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("--interval: \"5\" is not accepted (accepted: a whole number from 10 to 3600000)"),
              std::string::npos)
        << run.err;
}

TEST_F(CliTest, VfListsDomainsAndPointsWithTheirOffsets) {
    const CliRun json = Run({"vf", "--json"});
    ASSERT_EQ(json.status, 0) << json.err;
    const auto doc = nlohmann::json::parse(json.out);
    ASSERT_EQ(doc["domains"].size(), 2u);
    EXPECT_EQ(doc["domains"][1]["domain"], "MEMORY CLOCK");
    EXPECT_EQ(doc["domains"][1]["firstVfPoint"], 80);
    EXPECT_EQ(doc["vfPoints"].size(), 82u);

    ::testing::internal::CaptureStdout();
    const CliRun text = Run({"vf"});
    const std::string listing = ::testing::internal::GetCapturedStdout();
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_NE(listing.find("CLIENT_CLK INFO:\n.domain[0]\n\t.type=PROG\n\t.domainId=GRAPHICS CLOCK\n"), std::string::npos);
    EXPECT_NE(listing.find("MEMORY CLOCK\nvfPoints[80]\n\t.prog\n\t\t.freqOffsetkHz=0\n"), std::string::npos);
}

TEST_F(CliTest, ProfileLoadAppliesTheFileAndRefusesOnesThatDoNotFit) {
    const fs::path profile = dir_ / "p.ini";
    ASSERT_EQ(Run({"apply", "custom", "--yes", "--core", "-50", "--mem", "300", "--power", "80", "--fan", "45"}).status, 0);
    ASSERT_EQ(Run({"profile", "save", profile.string()}).status, 0);
    ASSERT_EQ(Run({"apply", "common"}).status, 0);
    ASSERT_EQ(Tuning(State())["power"]["currentPcm"], 100000);

    // The default card is of family D: the load sets its power target and VF points, and puts
    // back the clock offsets the apply gave it.
    CliRun run = Run({"profile", "load", profile.string(), "--yes"});
    ASSERT_EQ(run.status, 0) << run.err;
    const nlohmann::json state = State();
    EXPECT_EQ(Tuning(state)["power"]["currentPcm"], 80000);
    EXPECT_EQ(Tuning(state)["graphics"]["deltaKHz"], -50000);
    EXPECT_EQ(Tuning(state)["memory"]["deltaKHz"], 300000);
    EXPECT_TRUE(HasLine(TraceOf("ClkVfPointsSetControl"), "ClkVfPointsSetControl gpu=0 point=81 offsetKHz=0 status=0"))
        << Trace();

    run = Run({"profile", "load", (dir_ / "absent.ini").string(), "--yes"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("cannot be read as a settings file"), std::string::npos) << run.err;
    // A file for another card matches nothing here.
    UseScenarioText(R"({"cards": [{"deviceId": "0x1E8710DE", "subSystemId": "0x37553842"}]})");
    fs::remove(state_);
    run = Run({"profile", "load", profile.string(), "--yes"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("no section names a GPU here"), std::string::npos) << run.err;
    run = Run({"profile", "save", (dir_ / "no-such-folder" / "x.ini").string()});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("cannot be written"), std::string::npos) << run.err;
    EXPECT_EQ(Run({"profile", "rename", "x"}).status, 2);
}

TEST_F(CliTest, LedDrivesTheChosenZoneAndRefusesWhatTheControllerDoesNotOffer) {
    UseScenario("led-zone.json");
    CliRun run = Run({"led", "--gpu", "0", "--target", "zone-main", "--mode", "rainbow", "--color", "00ff00"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto writes = TraceOf("I2CWrite");
    EXPECT_TRUE(HasLine(writes, "I2CWrite gpu=0 port=2 addr=0x58 reg=0x06 data=02 status=0")) << Trace();
    EXPECT_TRUE(HasLine(writes, "I2CWrite gpu=0 port=2 addr=0x58 reg=0x08 data=5a status=0")) << Trace();
    // The zone kept its colour and mode for the next run.
    const nlohmann::json state = State();
    std::string zone58;
    for (const auto& device : state["cards"][0]["bus"])
        if (device["address"] == "0x58") zone58 = device["registers"];
    EXPECT_EQ(zone58.substr(4, 10), "00ff008402") << zone58;

    run = Run({"led", "--target", "zone-main", "--mode", "blink"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("accepted: static, rainbow, cycle-breathing, breathing, off"), std::string::npos) << run.err;
    run = Run({"led", "--target", "effect-main", "--mode", "static"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("accepted here: zone-main, zone-1, zones-2-4"), std::string::npos) << run.err;
    run = Run({"led", "--target", "zone-main", "--mode", "static", "--color", "green"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("RRGGBB"), std::string::npos) << run.err;
    run = Run({"led", "--target", "zone-main", "--mode", "static", "--period", "4"});
    EXPECT_EQ(run.status, 2);
}

TEST_F(CliTest, LedBasicControllerShowsTheColourWhileTheProgramHoldsIt) {
    UseScenario("led-basic-class1.json");
    const CliRun run = Run({"led", "--target", "basic", "--mode", "static", "--color", "0000ff", "--hold", "1"});
    ASSERT_EQ(run.status, 0) << run.err;
    bool frame = false;
    for (const auto& line : TraceOf("I2CWrite"))
        frame = frame || line.find("addr=0x40 reg=0x01 data=01000000000000ffff") != std::string::npos;
    EXPECT_TRUE(frame) << Trace();
}

// A settings file written for a card is loaded by hand as UTF-16 with its byte-order mark,
// as the program writes them.
void WriteSettingsFile(const fs::path& path, const std::string& text) {
    std::string bytes = "\xFF\xFE";
    for (const char c : text) {
        bytes += c;
        bytes += '\0';
    }
    std::ofstream(path, std::ios::binary) << bytes;
}

TEST_F(CliTest, ProfileLoadRefusesAValueOutsideTheCardsRangeBeforeSendingAnything) {
    UseScenario("plain-and-vf-cards.json");
    const fs::path profile = dir_ / "wide.ini";
    // GPU 0 takes -200..200 MHz: 222 is beyond it, and the memory offset beside it is not sent
    // either.
    WriteSettingsFile(profile, "[Gpu1]\r\nId=1e87\r\nFanWorkMode=1\r\nDyaGpuClock=222\r\nDyaMemClock=100\r\n"
                               "PowerTarget=90\r\nGpuMode=4\r\n");
    const CliRun run = Run({"profile", "load", profile.string(), "--yes"});
    EXPECT_EQ(run.status, 2) << run.out << run.err;
    EXPECT_NE(run.err.find("[Gpu1] DyaGpuClock=222 MHz is outside GPU 0's range -200..200 MHz"), std::string::npos)
        << run.err;
    EXPECT_TRUE(TraceOf("SetPstates20").empty()) << Trace();

    WriteSettingsFile(profile, "[Gpu1]\r\nId=1e87\r\nDyaGpuClock=-200\r\nPowerTarget=100\r\n");
    const CliRun fits = Run({"profile", "load", profile.string(), "--yes"});
    EXPECT_EQ(fits.status, 0) << fits.err;
    EXPECT_NE(fits.out.find("Loaded " + profile.string()), std::string::npos) << fits.out;
}

TEST_F(CliTest, EveryCommandNamesTheSimulatorFirstAndInItsDocument) {
    UseScenario("led-basic-class1.json");
    const fs::path profile = dir_ / "p.ini";
    const std::vector<std::vector<std::string>> texts = {
        {"list"}, {"monitor"}, {"apply", "common"}, {"profile", "save", profile.string()},
        {"profile", "load", profile.string(), "--yes"}, {"led", "--target", "basic", "--mode", "off", "--hold", "0"}};
    for (const auto& args : texts) {
        const CliRun run = Run(args);
        EXPECT_EQ(run.status, 0) << args[0] << run.err;
        EXPECT_EQ(run.out.rfind("Back-end: sim - SIMULATED", 0), 0u) << args[0] << ": " << run.out;
    }
    ::testing::internal::CaptureStdout();
    const CliRun vf = Run({"vf"});
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(vf.out.rfind("Back-end: sim", 0), 0u) << vf.out;
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"list", "--json"}, {"monitor", "--json"}, {"apply", "common", "--json"}, {"vf", "--json"}}) {
        const CliRun run = Run(args);
        ASSERT_EQ(run.status, 0) << args[0] << run.err;
        EXPECT_EQ(nlohmann::json::parse(run.out).at("backend"), "sim") << args[0];
    }
}

TEST_F(CliTest, MonitorShowsAnIdleGpuAsNoLoad) {
    UseScenario("plain-and-vf-cards.json");
    CliRun run = Run({"monitor", "--gpu", "0"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("  load 0 %"), std::string::npos) << run.out;
    run = Run({"monitor", "--gpu", "0", "--json"});
    EXPECT_EQ(nlohmann::json::parse(run.out)["loadPercent"], 0);
}

TEST_F(CliTest, ListOnlyReadsYetFindsTheBasicController) {
    UseScenario("led-basic-class1.json");
    const CliRun run = Run({"list"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("LED controllers basic 0x40"), std::string::npos) << run.out;
    EXPECT_TRUE(TraceOf("I2CWrite").empty()) << Trace();
    EXPECT_TRUE(TraceOf("I2CWriteEx").empty()) << Trace();
}

// The looking commands bring every kind of card up without one write: no chip register, no
// tuning value. The fan chips are still found, by reads alone. "built-in" is the card used
// when no scenario is named, fan chip and lighting together.
TEST_F(CliTest, ListMonitorAndVfWriteNothingToAnyCard) {
    for (const char* scenario : {"built-in", "family-d.json", "fan-type1-slot1-chip.json", "fan-type2-slot1-bios.json",
                                 "fan-type3-slot0-chip.json", "family-a.json", "family-b.json", "family-c.json",
                                 "led-effect.json", "led-zone.json", "led-basic-class2.json"}) {
        if (std::string(scenario) == "built-in") test::UnsetEnv("PYXTUNE_SIM_SCENARIO"); else UseScenario(scenario);
        fs::remove(state_);
        for (const std::vector<std::string>& command :
             {std::vector<std::string>{"list"}, {"monitor", "--count", "1"}, {"vf", "--json"}}) {
            fs::remove(trace_);
            const CliRun run = Run(command);
            ASSERT_EQ(run.status, 0) << scenario << " " << command[0] << ": " << run.err;
            ASSERT_FALSE(TraceOf("I2CRead").empty()) << scenario << " " << command[0] << ": the buses were probed";
            std::istringstream lines(Trace());
            for (std::string line; std::getline(lines, line);)
                EXPECT_TRUE(line.find(" I2CRead") != std::string::npos || line.find(" Get") != std::string::npos)
                    << scenario << " " << command[0] << " wrote: " << line;
        }
    }
    UseScenario("fan-type3-slot0-chip.json");
    fs::remove(state_);
    const CliRun list = Run({"list"});
    EXPECT_NE(list.out.find("fan control type 3"), std::string::npos) << list.out;
}

TEST_F(CliTest, HelpAfterTheCommandAndVerboseAnywhere) {
    for (const char* command : {"list", "monitor", "apply", "profile", "led", "vf"}) {
        const CliRun run = Run({command, "-h"});
        EXPECT_EQ(run.status, 0) << command << run.err;
        EXPECT_EQ(run.out.rfind(std::string("usage: pyxtunectl ") + command, 0), 0u) << run.out;
    }
    EXPECT_EQ(Run({"-h"}).status, 0);
    EXPECT_EQ(Run({"list", "-v", "--json"}).status, 0);
    EXPECT_EQ(Run({"-v", "list"}).status, 0);
    EXPECT_EQ(Run({"list", "--verbose"}).status, 0);
    // An option that has a default is shown as optional.
    EXPECT_NE(Run({"led", "--help"}).out.find("usage: pyxtunectl led [--gpu N | --all] --target"), std::string::npos);
}

TEST_F(CliTest, TheCardsDiagnosticsStayOffStandardOutputAndGoToStandardErrorWithVerbose) {
    // The clock writes of an Apply each give a diagnostic line; standard output is the data.
    constexpr const char* kLine = "GRAPHIC CLK change call succeeded\n";
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    const CliRun quiet = Run({"apply", "common"});
    std::string out = ::testing::internal::GetCapturedStdout();
    std::string err = ::testing::internal::GetCapturedStderr();
    ASSERT_EQ(quiet.status, 0) << quiet.err;
    EXPECT_EQ(out.find("CLK change"), std::string::npos) << out;
    EXPECT_EQ(err.find("CLK change"), std::string::npos) << err;
    EXPECT_EQ(quiet.out.find("CLK change"), std::string::npos) << quiet.out;

    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    const CliRun verbose = Run({"-v", "apply", "common"});
    out = ::testing::internal::GetCapturedStdout();
    err = ::testing::internal::GetCapturedStderr();
    ASSERT_EQ(verbose.status, 0) << verbose.err;
    EXPECT_EQ(out.find("CLK change"), std::string::npos) << out;
    EXPECT_NE(err.find(kLine), std::string::npos) << err;
    EXPECT_NE(err.find("MEMORY CLK change call succeeded\n"), std::string::npos) << err;
}

TEST_F(CliTest, ACorruptStateFileStopsTheRunAndNamesTheFile) {
    std::ofstream(state_) << "{\"pyxtuneSimState\": 1, \"cards\": ";
    const CliRun run = Run({"list"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find(state_.string()), std::string::npos) << run.err;
    EXPECT_TRUE(TraceOf("I2CRead").empty()) << "no card may run on half a state";
}

}  // namespace
}  // namespace pyx::clitest
