// pyxtunectl processes started side by side on one simulator state, as on one machine with
// several cards: each change lands, whichever process writes last.

#include <memory>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/cli/ProgramProcess.h"

namespace pyx::proctest {
namespace {

TEST(SharedSimStateProcess, ParallelProgramsOnDifferentCardsKeepEveryChange) {
    constexpr int kCards = 5;  // the handled cards of the scenario
    constexpr int kTrials = 4;
    test::TempFolder folder("pyx-shared-state-");
    const fs::path state = folder.Path() / "cards.json";
    const std::vector<EnvChange> env = {{"PYXTUNE_GPU_BACKEND", "sim"},
                                        {"PYXTUNE_SIM_SCENARIO", std::string(PYX_SIM_SCENARIO_DIR) + "/six-cards.json"},
                                        {"PYXTUNE_SIM_STATE", state.string()},
                                        {"PYXTUNE_TRACE", std::nullopt}};
    for (int trial = 0; trial < kTrials; ++trial) {
        std::vector<std::unique_ptr<ProgramProcess>> tools;
        for (int gpu = 0; gpu < kCards; ++gpu)
            tools.push_back(std::make_unique<ProgramProcess>(
                PYX_PYXTUNECTL,
                std::vector<std::string>{"apply", "custom", "--gpu", std::to_string(gpu), "--core",
                                         std::to_string(10 * trial + gpu + 1), "--mem", "0", "--power", "100", "--fan",
                                         "50", "--yes"},
                env, folder.Path() / ("tool" + std::to_string(gpu))));
        for (int gpu = 0; gpu < kCards; ++gpu) {
            ASSERT_TRUE(tools[gpu]->WaitFor(std::chrono::seconds(30))) << "trial " << trial << " GPU " << gpu;
            EXPECT_EQ(tools[gpu]->ExitStatus(), 0) << tools[gpu]->Err();
        }
        const auto cards = nlohmann::json::parse(FileText(state)).at("cards");
        for (int gpu = 0; gpu < kCards; ++gpu)
            EXPECT_EQ(cards[gpu]["tuning"]["graphics"]["deltaKHz"], (10 * trial + gpu + 1) * 1000)
                << "trial " << trial << " GPU " << gpu;
    }
}

}  // namespace
}  // namespace pyx::proctest
