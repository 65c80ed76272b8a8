#include <cstdlib>
#include <filesystem>
#include <sstream>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "cli/Cli.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestEnvironment.h"

namespace pyx {
namespace {

// Runs the tool in-process with the given environment.
struct CliRun {
    int status;
    std::string out, err;
};

CliRun RunTool(std::vector<std::string> args, const char* backend = "sim", const char* scenario = nullptr) {
    if (backend) test::SetEnv("PYXTUNE_GPU_BACKEND", backend); else test::UnsetEnv("PYXTUNE_GPU_BACKEND");
    if (scenario) test::SetEnv("PYXTUNE_SIM_SCENARIO", scenario); else test::UnsetEnv("PYXTUNE_SIM_SCENARIO");
    std::ostringstream out, err;
    const int status = RunCli(args, out, err);
    return {status, out.str(), err.str()};
}


TEST(ListCommand, SaysPlainlyThatTheSimulatorAnswersAndListsEachGpu) {
    const test::TempFolder folder;
    const auto path = folder.Write("two.json", R"({"cards": [
        {"deviceId": "0x1B8110DE", "subSystemId": "0xA0141B4C"},
        {"deviceId": "0x1E8710DE", "subSystemId": "0x37553842"}]})");
    const CliRun run = RunTool({"list"}, "sim", path.string().c_str());
    EXPECT_EQ(run.status, 0) << run.err;
    std::istringstream lines(run.out);
    std::string first, gpu0, gpu1;
    std::getline(lines, first);
    std::getline(lines, gpu0);
    std::getline(lines, gpu1);
    EXPECT_NE(first.find("SIMULATED"), std::string::npos) << first;
    EXPECT_EQ(gpu0, "GPU 0  device 1b81  subsystem a0141b4c  back-end sim");
    EXPECT_EQ(gpu1, "GPU 1  device 1e87  subsystem 37553842  back-end sim");

    const CliRun json = RunTool({"list", "--json"}, "sim", path.string().c_str());
    ASSERT_EQ(json.status, 0);
    const auto doc = nlohmann::json::parse(json.out);
    EXPECT_TRUE(doc.at("simulated").get<bool>());
    EXPECT_EQ(doc.at("gpus").size(), 2u);
    EXPECT_EQ(doc.at("gpus")[1].at("deviceId"), "1e87");
}

TEST(ListCommand, BadArgumentsAndConfigurationGiveStatus2WithTheReason) {
    CliRun run = RunTool({"list", "--bogus"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("--bogus"), std::string::npos);
    run = RunTool({"frobnicate"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("unknown command \"frobnicate\""), std::string::npos);
    run = RunTool({});
    EXPECT_EQ(run.status, 2);
    run = RunTool({"list"}, "cuda");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("accepted: nvapi, sim"), std::string::npos) << run.err;

    const test::TempFolder folder;
    const auto broken = folder.Write("broken.json", R"({"cards": [)");
    run = RunTool({"list"}, "sim", broken.string().c_str());
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find(broken.string()), std::string::npos) << run.err;
    run = RunTool({"list"}, "sim", "/nonexistent.json");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("/nonexistent.json: cannot be opened"), std::string::npos) << run.err;
}

TEST(ListCommand, NoCardIsAHardwareFailure) {
    const test::TempFolder folder;
    const auto path = folder.Write("none.json", R"({"cards": []})");
    const CliRun run = RunTool({"list"}, "sim", path.string().c_str());
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("no NVIDIA GPU found"), std::string::npos) << run.err;
}

TEST(ListCommand, HelpDescribesTheOptions) {
    const CliRun run = RunTool({"list", "--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("--json"), std::string::npos);
}

}  // namespace
}  // namespace pyx
