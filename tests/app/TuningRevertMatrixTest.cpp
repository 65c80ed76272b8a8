// Every shipped scenario and the built-in cards, every mode: capture what an apply reaches, apply, revert, and
// every card is as captured. Then which GPUs a revert captures, writes back and names in a refusal.
#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "app/TuningController.h"
#include "app/TuningRanges.h"
#include "app/TuningRevert.h"
#include "gpu/HardwareStartup.h"
#include "gpu/NvApiIds.h"
#include "sim/SimScenario.h"
#include "sim/SimStateFileCard.h"
#include "tests/support/FakeProcessLauncher.h"
#include "tests/support/SimWorld.h"

namespace pyx::test {
namespace {

using nlohmann::json;
using namespace std::chrono_literals;
constexpr char kBuiltin[] = "builtin-default";
constexpr const char* kModeNames[] = {"", "_extreme", "_performance", "_common", "_custom"};

// The cards brought up as the program does, BIOS read and fan chips learned: every fan path is discovery's choice.
struct DiscoveredCards : SimWorld {
    explicit DiscoveredCards(const std::string& scenario)
        : SimWorld(scenario == kBuiltin ? sim::SimScenario::DefaultJson() : scenario + ".json", {.traced = false}) {
        launcher.onStart = [this](auto&) {
            return Card().biosImage.empty() || !folder.Write(kBiosDumpFile, Card().biosImage).empty();
        };
        thread = std::make_unique<HardwareThread>(&launcher, BiosReaderOptions{folder.Path(), {}, 500ms, 10ms});
        EXPECT_EQ(StartHardware(*table, *thread, [] { return std::optional<OsVersion>(); }), kStartHardwareOk);
        EXPECT_TRUE(thread->WaitFinished(10s));
    }
    TempFolder folder{"pyx-revert-"};
    FakeProcessLauncher launcher;
    std::unique_ptr<HardwareThread> thread;  // last, so it stops first
};

// A card's tuning, an item per fan-chip register, less the clocks (they follow the offsets), the P-state reads left
// to fail (a fault to inject) and an auto cooler's last level (unseen). Fans read first: a duty chip shows the last read.
json TunedState(DiscoveredCards& world, size_t card) {
    if (const int gpu = static_cast<int>(card); world.table->IsValidGpu(gpu)) (void)CardTuning(*world.table, gpu).ReadFans();
    const json whole = sim::SimCardState::Capture(world.Card(card)).ToJson();
    json tuning = whole.at("tuning"), chips = json::array();
    tuning.erase("pstatesReadFailures");
    for (json& cooler : tuning.at("fanCoolers"))
        if (!cooler.at("manual").get<bool>()) cooler.erase("manualLevel");
    for (json device : whole.at("bus")) {
        if (!device.at("model").get<std::string>().starts_with("fan-chip")) continue;
        const std::string bytes = device.value("registers", "");
        device["registers"] = json::array();
        for (size_t at = 0; at + 1 < bytes.size(); at += 2) device["registers"].push_back(bytes.substr(at, 2));
        chips.push_back(device);
    }
    return {{"tuning", tuning}, {"fanChips", chips}};
}

// The cells that cannot match, with their reasons: a difference is excused only where scenario, mode and path
// fit, and each entry must be met in each of its modes, so the list cannot outlive a mend.
struct KnownLoss { const char *scenario; std::vector<int> modes; const char *pathPrefix, *reason; };
const KnownLoss kKnownLosses[] = {
    {"fan-type3-slot0-chip", {kTuningModeCommon, kTuningModeCustom}, "/fanChips/0/",
     "handed back, the tachometer chip runs the program's own curve (0xA0-0xA8) and keeps the last fixed target count"},
    {kBuiltin, {kTuningModeCommon}, "/fanChips/0/registers/48",  // 0x30
     "the duty chip powers up at duty 0x4D, which no percent gives (30 % is 0x4C); handed back, it shows the card's"},
    {"fan-type1-slot1-chip", {kTuningModeCommon, kTuningModeCustom}, "/fanChips/0/registers/48", "as the built-in card"},
    {"fan-type2-slot1-bios", {kTuningModeCustom}, "/fanChips/0/registers/49",  // 0x31
     "Custom fixes the fan through the duty chip's target, which the chip keeps and nobody reads once handed back"},
};

std::vector<std::string> ScenarioNames() {
    std::vector<std::string> names = {kBuiltin};
    for (const auto& entry : std::filesystem::directory_iterator(PYX_SIM_SCENARIO_DIR))
        if (entry.path().extension() == ".json") names.push_back(entry.path().stem().string());
    return names;
}

// 3/4 of the way up a range (of both ranges on a VF card): inside it, away from the defaults.
int32_t InRange(const TuningSlider& a, const TuningSlider* b = nullptr) {
    const int32_t lo = b ? std::max(a.min, b->min) : a.min, hi = b ? std::min(a.max, b->max) : a.max;
    return hi < lo ? 0 : static_cast<int32_t>(lo + (int64_t{hi} - lo) * 3 / 4);
}

class TuningRevertMatrix : public ::testing::TestWithParam<std::tuple<std::string, int>> {};

TEST_P(TuningRevertMatrix, TheRevertLeavesEveryCardAsCaptured) {
    const auto& [scenario, mode] = GetParam();
    DiscoveredCards world(scenario);
    std::vector<json> before;
    for (size_t card = 0; card < world.sim->CardCount(); ++card) before.push_back(TunedState(world, card));
    // Each apply as the window runs it (presets linked, Custom GPU by GPU), after a capture of the GPUs it reaches.
    AppState state;
    TuningCallbacks callbacks;
    callbacks.confirmWarning = [](const std::string&, const std::string&) { return true; };
    TuningController controller(*world.table, state, callbacks);
    TuningReport applied, reverted;
    std::vector<TuningRevert> reverts;
    for (int gpu = 0; gpu < (mode == kTuningModeCustom ? world.table->gpuCount : 1); ++gpu) {
        TuningPage page;
        page.tuningMode = mode;
        page.selectedGpu = gpu;
        page.linkAllGpus = mode != kTuningModeCustom;
        ReadSliderRanges(*world.table, gpu, page);
        if (const bool vf = page.gpuVf.HasRange(); mode == kTuningModeCustom) {
            page.gpuClock.pos = page.gpuVf.pos = InRange(page.gpuClock, vf ? &page.gpuVf : nullptr);
            page.memClock.pos = page.memVf.pos = InRange(page.memClock, vf ? &page.memVf : nullptr);
            if (page.power.enabled) page.power.pos = InRange(page.power);
            page.fan.pos = InRange(page.fan.enabled ? page.fan : TuningSlider{0, 0, 100, true});
        }
        reverts.push_back(TuningRevert::Capture(*world.table, TuningRevert::ApplyTargets(*world.table, page)));
        EXPECT_EQ(controller.ApplyMode(page, &applied), ApplyOutcome::Applied);
    }
    bool moved = false;
    for (size_t card = 0; card < before.size(); ++card) moved = moved || TunedState(world, card) != before[card];
    EXPECT_TRUE(moved || mode == kTuningModeCommon) << "nothing moved (Common may: built-in cards run its defaults)";
    for (auto revert = reverts.rbegin(); revert != reverts.rend(); ++revert) reverted.Append(revert->Revert());
    // The card refuses on the way back only what it refused on the way there.
    for (const TuningWriteResult& refusal : reverted.Refusals())
        EXPECT_TRUE(applied.Refused(refusal.gpu, refusal.operation)) << "only in the revert: " << DescribeWrite(refusal);
    std::vector<const KnownLoss*> met;
    const auto fits = [&](const KnownLoss& l) { return l.scenario == scenario && std::ranges::count(l.modes, mode); };
    for (size_t card = 0; card < before.size(); ++card)
        for (const json& difference : json::diff(before[card], TunedState(world, card))) {
            const std::string path = difference.at("path");
            const auto loss = std::ranges::find_if(
                kKnownLosses, [&](const KnownLoss& l) { return fits(l) && path.starts_with(l.pathPrefix); });
            met.push_back(loss);
            if (loss == std::end(kKnownLosses))
                ADD_FAILURE() << "card " << card << ": " << difference.dump() << ", captured "
                              << before[card].value(json::json_pointer(path), json()) << "; " << DescribeRefusals(reverted);
        }
    for (const KnownLoss& loss : kKnownLosses)
        EXPECT_TRUE(!fits(loss) || std::ranges::count(met, &loss)) << "a listed loss matched: " << loss.pathPrefix;
}

INSTANTIATE_TEST_SUITE_P(EveryScenarioAndMode, TuningRevertMatrix,
    ::testing::Combine(::testing::ValuesIn(ScenarioNames()), ::testing::Range(kTuningModeExtreme, kTuningModeCustom + 1)),
    [](const auto& info) {
        std::string name = std::get<0>(info.param) + kModeNames[std::get<1>(info.param)];
        std::ranges::replace(name, '-', '_');
        return name;
    });

// A GPU an apply reaches is captured once and gets its offset back, naming the power it could not; any other is
// left as changed and not in the report.
TEST(TuningRevert, CapturesTheGpusAnApplyReachesOnceAndWritesBackOnlyThem) {
    const struct { bool linked; int selected; std::vector<int> targets; } cases[] = {
        {false, -1, {0, 1}}, {true, 1, {0, 1}}, {false, 1, {1}}, {false, 5, {}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "linked " << c.linked << ", selected " << c.selected);
        DiscoveredCards world("two-cards");
        TuningPage page;
        page.selectedGpu = c.selected;
        page.linkAllGpus = c.linked;
        EXPECT_EQ(TuningRevert::ApplyTargets(*world.table, page), c.targets);
        std::vector<int> asked = {-1, world.table->gpuCount};
        for (const int gpu : c.targets) asked.insert(asked.end(), {gpu, gpu});
        const TuningRevert revert = TuningRevert::Capture(*world.table, asked);
        EXPECT_EQ(revert.Gpus(), c.targets);
        const std::vector<json> before = {TunedState(world, 0).at("tuning"), TunedState(world, 1).at("tuning")};
        for (int gpu = 0; gpu < 2; ++gpu)
            (void)CardTuning(*world.table, gpu).Write({.graphicsOffsetKHz = 21000, .powerPcm = 61000});
        world.sim->SetUnsupported(NvOpId(NvOp::PowerPoliciesSetStatus));
        const TuningReport reverted = revert.Revert();
        for (int gpu = 0; gpu < 2; ++gpu) {
            const bool captured = std::ranges::count(c.targets, gpu) == 1;
            EXPECT_EQ(revert.StateOf(gpu) != nullptr, captured) << gpu;
            EXPECT_EQ(reverted.Refused(gpu, TuningOperation::PowerTarget), captured) << gpu;
            EXPECT_EQ(TunedState(world, gpu)["tuning"]["graphics"] == before[gpu]["graphics"], captured) << gpu;
            EXPECT_NE(TunedState(world, gpu)["tuning"]["power"], before[gpu]["power"]) << gpu;  // so it was changed
        }
    }
}

}  // namespace
}  // namespace pyx::test
