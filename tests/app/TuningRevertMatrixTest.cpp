// Every shipped scenario and the simulator's built-in cards, every tuning mode: the GPUs an
// apply reaches are captured before it, and after the revert every card's tuning is exactly
// the captured one. Apart from the matrix, what a revert captures and what it reports.
#include <algorithm>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "app/AppState.h"
#include "app/TuningController.h"
#include "app/TuningRanges.h"
#include "app/TuningRevert.h"
#include "gpu/CardTuning.h"
#include "gpu/NvApiIds.h"
#include "tests/app/DiscoveredCardsRig.h"

namespace pyx::test {
namespace {

using nlohmann::json;

const std::vector<int> kModes = {kTuningModeExtreme, kTuningModePerformance, kTuningModeCommon, kTuningModeCustom};

std::string ModeName(int mode) {
    switch (mode) {
        case kTuningModeExtreme: return "extreme";
        case kTuningModePerformance: return "performance";
        case kTuningModeCommon: return "common";
        default: return "custom";
    }
}

// The cells that cannot match, each with its reason. A difference is excused only where the
// scenario ("*": any), the mode and the path fit; an entry that names its scenario must still
// be met in each of its modes, so the list cannot outlive a mend.
struct KnownLoss {
    const char* scenario;
    std::vector<int> modes;
    const char* pathPrefix;  // JSON pointer into one card's compared state
    const char* reason;
};
const KnownLoss kKnownLosses[] = {
    {"fan-type3-slot0-chip", {kTuningModeCommon, kTuningModeCustom}, "/fanChips/0/",
     "handed back (by Common, or by the revert after Custom fixed it), the tachometer chip runs the "
     "program's own curve (registers 0xA0-0xA8) and keeps the last fixed speed's target count: nothing "
     "the program reads holds the curve the chip had"},
    {"builtin-default", {kTuningModeCommon}, "/fanChips/0/registers/0x30",
     "the duty chip powers up showing duty 0x4D, which no percent gives (30 % is 0x4C); once the fan has "
     "been handed back it shows the duty of the card's level"},
    {"fan-type1-slot1-chip", {kTuningModeCommon, kTuningModeCustom}, "/fanChips/0/registers/0x30",
     "as for the built-in card: the duty chip's power-up duty 0x4D is no percent's"},
    {"fan-type2-slot1-bios", {kTuningModeCustom}, "/fanChips/0/registers/0x31",
     "Custom fixes the fan through the duty chip's target (0x31); handed back, the chip runs at the "
     "card's duty and keeps that target, which nothing reads while the chip runs automatically"},
};

std::vector<std::string> ScenarioNames() {
    std::vector<std::string> names = {kBuiltinScenario};
    for (const auto& entry : std::filesystem::directory_iterator(PYX_SIM_SCENARIO_DIR))
        if (entry.path().extension() == ".json") names.push_back(entry.path().filename().string());
    std::sort(names.begin() + 1, names.end());
    return names;
}

std::string Stem(const std::string& scenario) { return std::filesystem::path(scenario).stem().string(); }

// A value 3/4 of the way up a range: inside it, and away from the defaults (0, the middle).
int32_t InRange(int32_t lo, int32_t hi) {
    if (hi < lo) return 0;
    return static_cast<int32_t>(lo + (static_cast<int64_t>(hi) - lo) * 3 / 4);
}

// Custom for one GPU as pyxtunectl sends it: in-range values on every slider, from the ranges
// read from the card.
void SetCustomSliders(TuningPage& page) {
    const bool vf = page.gpuVf.HasRange();
    const int32_t core = vf ? InRange(std::max(page.gpuClock.min, page.gpuVf.min), std::min(page.gpuClock.max, page.gpuVf.max))
                            : InRange(page.gpuClock.min, page.gpuClock.max);
    const int32_t mem = vf ? InRange(std::max(page.memClock.min, page.memVf.min), std::min(page.memClock.max, page.memVf.max))
                           : InRange(page.memClock.min, page.memClock.max);
    page.gpuClock.pos = page.gpuVf.pos = core;
    page.memClock.pos = page.memVf.pos = mem;
    if (page.power.enabled) page.power.pos = InRange(page.power.min, page.power.max);
    page.fan.pos = page.fan.enabled ? InRange(page.fan.min, page.fan.max) : InRange(0, 100);
}

// Each apply as the window's Apply runs it (every GPU linked for the presets, GPU by GPU for
// Custom), each preceded by the capture of the GPUs it reaches; the captures, in their order.
std::vector<TuningRevert> CaptureAndApply(DiscoveredCardsRig& rig, int mode, TuningReport& applied) {
    AppState state;
    TuningCallbacks callbacks;
    callbacks.confirmWarning = [](const std::string&, const std::string&) { return true; };
    TuningController controller(*rig.table, state, callbacks);
    std::vector<TuningRevert> reverts;
    const auto apply = [&](TuningPage& page) {
        reverts.push_back(TuningRevert::Capture(*rig.table, TuningRevert::ApplyTargets(*rig.table, page)));
        EXPECT_EQ(controller.ApplyMode(page, &applied), ApplyOutcome::Applied);
    };
    const bool custom = mode == kTuningModeCustom;
    for (int gpu = 0; gpu < (custom ? rig.table->gpuCount : 1); ++gpu) {
        TuningPage page;
        page.tuningMode = mode;
        page.selectedGpu = gpu;
        page.linkAllGpus = !custom;
        ReadSliderRanges(*rig.table, gpu, page);
        if (custom) SetCustomSliders(page);
        apply(page);
    }
    return reverts;
}

using Cell = std::tuple<std::string, int>;

class TuningRevertMatrix : public ::testing::TestWithParam<Cell> {};

TEST_P(TuningRevertMatrix, TheRevertLeavesEveryCardAsCaptured) {
    const auto& [scenario, mode] = GetParam();
    DiscoveredCardsRig rig(scenario);
    ASSERT_GT(rig.table->gpuCount, 0);
    const size_t cards = rig.sim->CardCount();
    std::vector<json> before;
    for (size_t card = 0; card < cards; ++card) before.push_back(rig.TunedState(card));

    TuningReport applied;
    std::vector<TuningRevert> reverts = CaptureAndApply(rig, mode, applied);
    bool moved = false;
    for (size_t card = 0; card < cards; ++card) moved = moved || rig.TunedState(card) != before[card];
    // Common puts the defaults back, which the built-in cards already run at.
    if (mode != kTuningModeCommon) {
        EXPECT_TRUE(moved) << "the apply changed nothing: the revert is not tried";
    }

    TuningReport reverted;
    std::reverse(reverts.begin(), reverts.end());
    for (const TuningRevert& revert : reverts) reverted.Append(revert.Revert());

    // The card refuses on the way back only what it refused on the way there.
    for (const TuningWriteResult& refusal : reverted.Refusals())
        EXPECT_TRUE(applied.Refused(refusal.gpu, refusal.operation))
            << "GPU " << refusal.gpu << " refused in the revert only: " << DescribeWrite(refusal) << " ("
            << StatusInWords(refusal.status) << ")";

    std::vector<const KnownLoss*> lossesMet;
    for (size_t card = 0; card < cards; ++card) {
        for (const json& difference : json::diff(before[card], rig.TunedState(card))) {
            const std::string path = difference.at("path");
            const KnownLoss* excuse = nullptr;
            for (const KnownLoss& loss : kKnownLosses)
                if ((std::string(loss.scenario) == "*" || loss.scenario == Stem(scenario)) &&
                    std::find(loss.modes.begin(), loss.modes.end(), mode) != loss.modes.end() &&
                    path.starts_with(loss.pathPrefix))
                    excuse = &loss;
            if (excuse) {
                lossesMet.push_back(excuse);
                continue;
            }
            ADD_FAILURE() << "card " << card << " " << path << ": captured "
                          << before[card].value(json::json_pointer(path), json()).dump() << ", after the revert "
                          << difference.dump() << "\nrefused in the revert: " << DescribeRefusals(reverted);
        }
    }
    for (const KnownLoss& loss : kKnownLosses) {
        if (loss.scenario != Stem(scenario) || std::find(loss.modes.begin(), loss.modes.end(), mode) == loss.modes.end())
            continue;
        EXPECT_NE(std::find(lossesMet.begin(), lossesMet.end(), &loss), lossesMet.end())
            << "listed as a loss but it matched: " << loss.pathPrefix;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryScenarioAndMode, TuningRevertMatrix,
                         ::testing::Combine(::testing::ValuesIn(ScenarioNames()), ::testing::ValuesIn(kModes)),
                         [](const ::testing::TestParamInfo<Cell>& info) {
                             std::string name = Stem(std::get<0>(info.param)) + "_" + ModeName(std::get<1>(info.param));
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

TEST(TuningRevert, TheGpusAnApplyReachesAreCapturedOnceAndOnlyTheyGoBack) {
    struct Case {
        const char* what;
        bool linked;
        int selected;
        std::vector<int> targets;
    };
    const Case cases[] = {
        {"none selected", false, -1, {0, 1}},
        {"linked", true, 1, {0, 1}},
        {"one selected", false, 1, {1}},
        {"a GPU the table does not hold", false, 5, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DiscoveredCardsRig rig("two-cards.json");
        ASSERT_EQ(rig.table->gpuCount, 2);
        TuningPage page;
        page.linkAllGpus = c.linked;
        page.selectedGpu = c.selected;
        EXPECT_EQ(TuningRevert::ApplyTargets(*rig.table, page), c.targets);
        // Listed twice, or not a GPU at all: captured once, or not.
        std::vector<int> asked = c.targets;
        asked.insert(asked.end(), c.targets.begin(), c.targets.end());
        asked.push_back(-1);
        asked.push_back(rig.table->gpuCount);
        const TuningRevert revert = TuningRevert::Capture(*rig.table, asked);
        EXPECT_EQ(revert.Gpus(), c.targets);

        const std::vector<json> before = {rig.TunedState(0), rig.TunedState(1)};
        for (int gpu = 0; gpu < 2; ++gpu) {
            const CardTuning card(*rig.table, gpu);
            ASSERT_FALSE(card.Write({.graphicsOffsetKHz = 21000, .powerPcm = 61000}).Refused(TuningOperation::PowerTarget));
        }
        rig.sim->SetUnsupported(NvOpId(NvOp::PowerPoliciesSetStatus));
        const TuningReport reverted = revert.Revert();
        for (int gpu = 0; gpu < 2; ++gpu) {
            const bool captured = revert.StateOf(gpu) != nullptr;
            EXPECT_EQ(captured, std::count(c.targets.begin(), c.targets.end(), gpu) == 1) << gpu;
            // A captured GPU gets its offset back and names the power it could not get back;
            // any other is left as changed and is not in the report.
            EXPECT_EQ(reverted.Refused(gpu, TuningOperation::PowerTarget), captured) << gpu;
            EXPECT_EQ(rig.TunedState(gpu).at("tuning").at("graphics") == before[gpu].at("tuning").at("graphics"), captured)
                << gpu;
            EXPECT_EQ(rig.TunedState(gpu).at("tuning").at("power") == before[gpu].at("tuning").at("power"), false) << gpu;
        }
        EXPECT_EQ(DescribeRefusals(reverted).empty(), c.targets.empty());
    }
}

}  // namespace
}  // namespace pyx::test
