#pragma once
// Runs pyxtunectl in-process on the simulator, with its own state, trace and scenario files.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "cli/Cli.h"
#include "tests/TestEnvironment.h"
#include "tests/support/FileText.h"

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
        dir_ = fs::temp_directory_path() /
               ("pyx-cli-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
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
        fs::remove_all(dir_);
    }

    // A scenario from the shipped ones, or written from text.
    void UseScenario(const std::string& shippedName) {
        test::SetEnv("PYXTUNE_SIM_SCENARIO", (fs::path(PYX_SIM_SCENARIO_DIR) / shippedName).string());
    }
    void UseScenarioText(const std::string& json) {
        const fs::path path = dir_ / "scenario.json";
        std::ofstream(path) << json;
        test::SetEnv("PYXTUNE_SIM_SCENARIO", path.string());
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
        std::vector<std::string> lines;
        std::istringstream in(Trace());
        for (std::string line; std::getline(in, line);) {
            const size_t at = line.find(' ');
            if (at != std::string::npos && line.compare(at + 1, operation.size() + 1, operation + " ") == 0)
                lines.push_back(line.substr(at + 1));
        }
        return lines;
    }

    fs::path dir_, state_, trace_;
};

}  // namespace pyx::clitest
