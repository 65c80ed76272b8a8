#pragma once
// Runs pyxtunectl in-process on the simulator, with its own state, trace and scenario files.
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "cli/Cli.h"
#include "tests/support/FileText.h"
#include "tests/support/ScenarioJson.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TraceFile.h"

namespace pyx::clitest {

namespace fs = std::filesystem;
using test::FileText;

struct CliRun {
    int status;
    std::string out, err;
};

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = folder_.Path();
        state_ = dir_ / "state.json";
        trace_ = dir_ / "trace.txt";
        test::SetEnv("PYXTUNE_GPU_BACKEND", "sim");
        test::SetEnv("PYXTUNE_SIM_STATE", state_.string());
        test::SetEnv("PYXTUNE_TRACE", trace_.string());
        test::UnsetEnv("PYXTUNE_SIM_SCENARIO");
    }
    void TearDown() override {
        test::UnsetEnv("PYXTUNE_SIM_STATE");
        test::UnsetEnv("PYXTUNE_TRACE");
        test::UnsetEnv("PYXTUNE_SIM_SCENARIO");
    }

    // A scenario from the shipped ones, or written from text.
    void UseScenario(const std::string& shippedName) {
        test::SetEnv("PYXTUNE_SIM_SCENARIO", test::ShippedScenario(shippedName).string());
    }
    void UseScenarioText(const std::string& json) {
        test::SetEnv("PYXTUNE_SIM_SCENARIO", folder_.Write("scenario.json", json).string());
    }

    CliRun Run(std::vector<std::string> args) {
        std::ostringstream out, err;
        const int status = RunCli(args, out, err);
        return {status, out.str(), err.str()};
    }
    nlohmann::json State() const { return nlohmann::json::parse(FileText(state_)); }
    const nlohmann::json& Tuning(const nlohmann::json& state, size_t card = 0) const {
        return state.at("cards").at(card).at("tuning");
    }
    std::string Trace() const { return FileText(trace_); }
    // The trace lines of one operation, without their time stamps.
    std::vector<std::string> TraceOf(const std::string& operation) const {
        return test::TraceFile(trace_).LinesOf(operation);
    }

    test::TempFolder folder_{"pyx-cli-"};
    fs::path dir_, state_, trace_;
};

}  // namespace pyx::clitest
