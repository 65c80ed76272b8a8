// pyxtunectl led: what the controllers refused, the load colour, and one GPU among several.
#include "CliTestRig.h"

namespace pyx::clitest {
namespace {

std::string OneCard(const std::string& i2c, int utilization = 7) {
    return R"({"cards": [{"deviceId": "0x1B8110DE", "subSystemId": "0x1", "utilization": )" +
           std::to_string(utilization) + R"(, "i2c": [)" + i2c + "]}]}";
}

size_t Count(const std::vector<std::string>& lines, const std::string& part) {
    size_t n = 0;
    for (const auto& line : lines) n += line.find(part) != std::string::npos ? 1 : 0;
    return n;
}

TEST_F(CliTest, LedNamesEveryWriteTheControllerRefusedAndExitsOne) {
    // The zone takes the colour but not its effect parameter: the mode sequence stops there.
    UseScenarioText(OneCard(R"({"address": "0x58", "model": "led-zone", "nakRegisters": ["0x05"]})"));
    CliRun run = Run({"led", "--target", "zone-main", "--mode", "static"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out.find("set to"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("GPU 0: the zone-main controller refused 1 write(s): 0x58 register 0x05 (status -1)"),
              std::string::npos)
        << run.err;

    // The basic controller takes its initialisation but refuses every colour frame.
    fs::remove(state_);
    UseScenarioText(OneCard(R"({"address": "0x40", "model": "led-basic-1", "nakRegisters": ["0x05"]})"));
    run = Run({"led", "--target", "basic", "--mode", "static", "--hold", "1"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out.find("set to"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("refused the effect's first frame: 0x40 register 0x01 (status -1)"), std::string::npos)
        << run.err;

    fs::remove(state_);
    UseScenarioText(OneCard(R"({"address": "0x40", "model": "led-basic-1"})"));
    run = Run({"led", "--target", "basic", "--mode", "off"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("GPU 0: basic set to off"), std::string::npos) << run.out;
}

TEST_F(CliTest, LedGpuLoadShowsTheCardsLoad) {
    UseScenarioText(OneCard(R"({"address": "0x40", "model": "led-basic-1"})", 70));
    const CliRun run = Run({"led", "--target", "basic", "--mode", "gpu-load", "--hold", "2"});
    ASSERT_EQ(run.status, 0) << run.err;
    // Load 70 %: green 255 - 70 * 255 / 100 = 77.
    const auto frames = TraceOf("I2CWrite");
    EXPECT_GE(Count(frames, "addr=0x40 reg=0x01 data=0100000000004dfffff0 status=0"), 2u) << Trace();
    EXPECT_EQ(Count(frames, "addr=0x40 reg=0x01 data=010000000000fdfffff0"), 0u) << "the load is not 1 %";
}

TEST_F(CliTest, LedOnOneOfTwoCardsDrivesThatCardAlone) {
    UseScenario("led-two-cards.json");
    CliRun run = Run({"led", "--gpu", "1", "--target", "zone-main", "--mode", "breathing", "--hold", "1"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("GPU 1: zone-main set to breathing"), std::string::npos) << run.out;
    auto writes = TraceOf("I2CWrite");
    EXPECT_EQ(Count(writes, "gpu=0 port=2 addr=0x58"), 0u) << Trace();
    // The card breathes in its own controller, and goes on after the command.
    EXPECT_EQ(Count(writes, "gpu=1 port=2 addr=0x58 reg=0x06 data=04 status=0"), 1u) << Trace();
    EXPECT_EQ(Count(writes, "gpu=1 port=2 addr=0x58 reg=0x08 data=5a status=0"), 1u) << Trace();

    UseScenarioText(R"({"cards": [
      {"deviceId": "0x1B8110DE", "subSystemId": "0x1", "i2c": [{"address": "0x40", "model": "led-basic-1"}]},
      {"deviceId": "0x1B8110DE", "subSystemId": "0x1", "i2c": [{"address": "0x40", "model": "led-basic-1"}]}]})");
    fs::remove(trace_);
    fs::remove(state_);
    run = Run({"led", "--gpu", "1", "--target", "basic", "--mode", "static", "--hold", "1"});
    ASSERT_EQ(run.status, 0) << run.err;
    writes = TraceOf("I2CWrite");
    EXPECT_EQ(Count(writes, "gpu=0 port=2 addr=0x40 reg=0x01"), 0u) << Trace();
    EXPECT_GE(Count(writes, "gpu=1 port=2 addr=0x40 reg=0x01 data=0100000000ff0000fff0"), 1u) << Trace();
}


// --reset leaves every GPU as the window's Reset does, names what a controller refused, and
// takes no other option.
TEST_F(CliTest, LedResetLeavesEveryControllerAsTheWindowsResetDoes) {
    struct Row {
        const char* i2c;
        std::vector<std::string> extra;
        int status;
        const char* written;  // in the trace; nullptr: nothing sent
        const char* says;     // in standard error; nullptr: nothing
    } rows[] = {
        {R"({"address": "0x58", "model": "led-zone"})", {}, 0, "addr=0x58 reg=0x02 data=ff00000005 status=0", nullptr},
        {R"({"address": "0x40", "model": "led-basic-1"})", {}, 0, "addr=0x40 reg=0x01 data=0100000000fffffffff0 status=0",
         nullptr},
        {R"({"address": "0x58", "model": "led-zone", "nakRegisters": ["0x02"]})", {}, 1, nullptr,
         "the lighting's reset was refused:\nGPU 0: 0x58 register 0x02"},
        {R"({"address": "0x58", "model": "led-zone"})", {"--mode", "static"}, 2, nullptr,
         "--reset takes no other option (--mode)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.i2c);
        fs::remove(trace_);
        fs::remove(state_);
        UseScenarioText(OneCard(row.i2c));
        std::vector<std::string> args = {"led", "--reset"};
        args.insert(args.end(), row.extra.begin(), row.extra.end());
        const CliRun run = Run(args);
        EXPECT_EQ(run.status, row.status) << run.err;
        const auto writes = TraceOf("I2CWrite");
        EXPECT_EQ(row.written ? Count(writes, row.written) >= 1 : Count(writes, "status=0") == 0, true) << Trace();
        EXPECT_EQ(run.err.find(row.says ? row.says : "\n") != std::string::npos, row.says != nullptr) << run.err;
        EXPECT_EQ(run.out.find("Every GPU's lighting was reset.") != std::string::npos, row.status == 0) << run.out;
    }
}

}  // namespace
}  // namespace pyx::clitest
