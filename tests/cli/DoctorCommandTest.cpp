// pyxtunectl doctor on the simulator: every id accounted for, reads timed, nothing sent that
// changes a card, and the JSON form names the back-end as the other commands do.
#include <gtest/gtest.h>

#include "tests/cli/CliTestRig.h"

namespace pyx::clitest {
namespace {

class DoctorCommand : public CliTest {};

TEST_F(DoctorCommand, ReportsEveryIdOfEveryGpuAndChangesNothing) {
    // The simulated cards' state file, as an earlier command leaves it.
    ASSERT_EQ(Run({"monitor"}).status, 0);
    const std::string stateBefore = FileText(state_);
    std::filesystem::remove(trace_);
    const CliRun run = Run({"doctor", "--json"});
    ASSERT_EQ(run.status, 0) << run.err;
    const nlohmann::json report = nlohmann::json::parse(run.out);
    EXPECT_EQ(report.at("backend"), "sim");
    EXPECT_TRUE(report.at("usable").get<bool>());
    ASSERT_EQ(report.at("gpus").size(), 1u);
    const nlohmann::json& ids = report.at("gpus")[0].at("ids");
    // Every per-GPU id the program uses: the 32 operations less enumeration and the chip-set
    // query, which name no GPU and are reported once.
    EXPECT_EQ(ids.size(), 30u);
    EXPECT_EQ(report.at("systemIds").size(), 2u);
    int called = 0;
    for (const auto& id : ids) {
        EXPECT_EQ(id.at("answeredBy"), "simulator") << id.dump();
        if (id.at("called").get<bool>()) {
            ++called;
            EXPECT_EQ(id.at("how"), "answered") << id.dump();
            EXPECT_GE(id.at("medianMicroseconds").get<double>(), 0.0);
        } else {
            EXPECT_NE(id.at("how").get<std::string>().find("not sent"), std::string::npos) << id.dump();
        }
    }
    EXPECT_EQ(called, 18);
    EXPECT_GT(report.at("gpus")[0].at("monitoringTickMedianMicroseconds").get<double>(), 0.0);
    EXPECT_EQ(Trace(), "") << "the doctor changed a card";
    EXPECT_EQ(FileText(state_), stateBefore);
}

TEST_F(DoctorCommand, TheTextFormSaysTheSimulatorAnswersAndRefusesArguments) {
    const CliRun run = Run({"doctor"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.rfind("Back-end: sim - SIMULATED cards", 0), 0u) << run.out;
    EXPECT_NE(run.out.find("SetPstates20"), std::string::npos);
    EXPECT_NE(run.out.find("one monitoring tick: "), std::string::npos);
    EXPECT_EQ(Run({"doctor", "--gpu", "1"}).status, 2);
    EXPECT_EQ(Run({"doctor", "now"}).status, 2);
}

}  // namespace
}  // namespace pyx::clitest
