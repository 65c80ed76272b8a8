// Reset's tuning half and the refresh of the page after a settings load.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/TuningController.h"
#include "app/TuningRanges.h"
#include "gpu/NvApiIds.h"
#include "tests/app/TuningControllerTestRig.h"

namespace pyx::test {
namespace {

using Lines = std::vector<std::string>;

struct ResetFixture {
    explicit ResetFixture(const std::string& scenario, int selected = 0)
        : rig(scenario), controller(*rig.table, state, Callbacks()) {
        page.selectedGpu = selected;
        if (selected >= 0) ReadSliderRanges(*rig.table, selected, page);
        rig.ClearTrace();
    }
    TuningCallbacks Callbacks() {
        TuningCallbacks c;
        c.pageChanged = [this] { events.push_back("page"); };
        c.selectTuningMode = [this](int mode) { events.push_back("mode " + std::to_string(mode)); };
        c.showLoadedLighting = [this](const LoadedLighting& l) {
            events.push_back("lighting");
            lighting = l;
        };
        c.applyRestoredLighting = [this] { events.push_back("restore"); };
        return c;
    }
    Lines TraceOf(int gpu) const {
        Lines out;
        for (const std::string& line : rig.Trace())
            if (line.find(" gpu=" + std::to_string(gpu) + " ") != std::string::npos) out.push_back(line);
        return out;
    }

    TuningTestRig rig;
    AppState state;
    TuningPage page;
    Lines events;
    LoadedLighting lighting;
    TuningController controller;
};

TEST(TuningReset, TheSelectedCardGetsDefaultsAndTheSlidersFollow) {
    ResetFixture f(ScenarioJson({PlainCard()}));
    ASSERT_EQ(f.page.gpuClock.pos, 120);
    ASSERT_EQ(f.page.power.pos, 112);
    f.controller.ResetTuning(f.page);
    EXPECT_EQ(f.rig.Trace(), (Lines{MemoryLine(0, 0), GraphicsLine(0, 0), PowerLine(0, 100000),
                                    "RestoreCoolerSettings gpu=0 cooler=0 status=0", MemoryLine(0, 0),
                                    GraphicsLine(0, 0)}));
    EXPECT_EQ(f.rig.Card().tuning.coolers[0].policy, sim::kSimCoolerPolicyAuto);
    EXPECT_EQ(f.page.gpuClock.pos, 0);
    EXPECT_EQ(f.page.memClock.pos, 0);
    EXPECT_EQ(f.page.power.pos, 100);
    EXPECT_TRUE(f.page.settingsCommitted);
    EXPECT_EQ(f.events.back(), "page");
}

TEST(TuningReset, FanCoolerCardsAreHandedBackAndTheFanAndVfSlidersGoToZero) {
    ResetFixture f(ScenarioJson({VfCard()}));
    ASSERT_EQ(f.page.gpuVf.pos, 40);
    ASSERT_EQ(f.page.memVf.pos, 150);
    f.page.fan = TuningSlider{70, 0, 100, false};
    f.controller.ResetTuning(f.page);
    for (const auto& cooler : f.rig.Card().tuning.fanCoolers) EXPECT_FALSE(cooler.manual);
    for (const std::string& line : f.rig.Trace()) EXPECT_FALSE(line.starts_with("RestoreCooler")) << line;
    EXPECT_EQ(f.page.fan.pos, 0);
    EXPECT_EQ(f.page.gpuVf.pos, 0);
    EXPECT_EQ(f.page.memVf.pos, 0);
}

TEST(TuningReset, UnlinkedReachesTheSelectedCardLinkedReachesAllAndTheSlidersShowTheSelectedOne) {
    {
        ResetFixture f(ScenarioJson({PlainCard(), PlainCard()}), 1);
        f.controller.ResetTuning(f.page);
        EXPECT_TRUE(f.TraceOf(0).empty());
        EXPECT_EQ(f.TraceOf(1).size(), 6u);
        EXPECT_EQ(f.rig.Card(0).tuning.graphics.deltaKHz, 120000);
    }
    {
        ResetFixture f(ScenarioJson({PlainCard(), PlainCard()}), 1);
        f.rig.Card(0).tuning.power.defaultPcm = 80000;
        f.page.linkAllGpus = true;
        f.controller.ResetTuning(f.page);
        EXPECT_EQ(f.TraceOf(0).size(), 6u);
        EXPECT_EQ(f.TraceOf(1).size(), 6u);
        EXPECT_EQ(f.rig.Card(0).tuning.power.currentPcm, 80000u);
        EXPECT_EQ(f.page.power.pos, 100) << "card 1's default, not card 0's";
    }
}

TEST(TuningReset, RefusedClockOffsetsLeaveTheClockSlidersAlone) {
    ResetFixture f(ScenarioJson({PlainCard()}));
    f.rig.sim->SetUnsupported(NvOpId(NvOp::SetPstates20));
    f.controller.ResetTuning(f.page);
    EXPECT_EQ(f.page.gpuClock.pos, 120);
    EXPECT_EQ(f.page.memClock.pos, 350);
    EXPECT_EQ(f.page.power.pos, 100) << "the power part still ran";
}

TEST(TuningRefresh, ThePageTakesTheLoadedModeFanAndTheCardsOffsetsAndPower) {
    ResetFixture f(ScenarioJson({PlainCard()}));
    f.state.gpuMode = 2;
    f.state.tuningSettings.fanSpeed = 55;
    f.state.tuningSettings.gpuClockOffsetMHz = 30;
    f.page.gpuClock.pos = 0;
    f.page.memClock.pos = 0;
    f.page.power.pos = 50;
    f.controller.RefreshFromSettings(f.page);
    EXPECT_EQ(f.events, (Lines{"mode 2", "lighting", "page", "restore"}));
    EXPECT_EQ(f.page.tuningMode, kTuningModePerformance);
    EXPECT_EQ(f.page.fan.pos, 55);
    EXPECT_EQ(f.page.gpuVf.pos, 0) << "no VF range: held at 0";
    EXPECT_EQ(f.page.gpuClock.pos, 120);
    EXPECT_EQ(f.page.memClock.pos, 350);
    EXPECT_EQ(f.page.power.pos, 112);
    EXPECT_TRUE(f.rig.Trace().empty()) << "a refresh only reads";
}

TEST(TuningRefresh, UnknownModesPressCustomAndNoGpuDoesNothing) {
    for (const auto& [gpuMode, shown] : std::vector<std::pair<int, int>>{{0, 4}, {1, 1}, {3, 3}, {4, 4}, {9, 4}}) {
        ResetFixture f(ScenarioJson({PlainCard()}));
        f.state.gpuMode = static_cast<uint8_t>(gpuMode);
        f.controller.RefreshFromSettings(f.page);
        EXPECT_EQ(f.events.front(), "mode " + std::to_string(shown)) << gpuMode;
    }
    ResetFixture f(ScenarioJson({PlainCard()}));
    f.rig.table->gpuCount = 0;
    f.controller.RefreshFromSettings(f.page);
    EXPECT_TRUE(f.events.empty());
}

TEST(TuningRefresh, TheVfFamilyShowsTheOffsetsTheCardHoldsNotTheStoredOnes) {
    ResetFixture f(ScenarioJson({VfCard()}));
    f.state.tuningSettings.gpuClockOffsetMHz = 77;
    f.state.tuningSettings.memClockOffsetMHz = 88;
    f.page.gpuClock = TuningSlider{5, -100, 100, true};
    f.controller.RefreshFromSettings(f.page);
    EXPECT_EQ(f.page.gpuVf.pos, 40);
    EXPECT_EQ(f.page.memVf.pos, 150);
    EXPECT_EQ(f.page.gpuClock.pos, 5) << "its P-state offsets are not shown";
    EXPECT_EQ(f.page.power.pos, 100);
    // Without a selection the sliders are left alone but the lighting is still restored.
    ResetFixture none(ScenarioJson({VfCard()}), -1);
    none.state.tuningSettings.fanSpeed = 40;
    none.controller.RefreshFromSettings(none.page);
    EXPECT_EQ(none.events, (Lines{"mode 4", "lighting", "restore"}));
    EXPECT_EQ(none.page.fan.pos, 0);
}

TEST(TuningRefresh, LoadedLightingPressesTheButtonsOfTheSavedChoices) {
    const LoadedLighting a = LoadedLightingFromSettings(LedSettings{6, 1, 2, 3, 4, 5, 6, 5, 11}, LedKind::BasicClass2);
    EXPECT_EQ(a.basicEffectButton, 5) << "LEDMODE 6 is the sixth button";
    EXPECT_TRUE(a.setColour);
    EXPECT_EQ(a.red, 1);
    EXPECT_EQ(a.green, 2);
    EXPECT_EQ(a.blue, 3);
    EXPECT_EQ(a.timerIndex[0], 4);
    EXPECT_EQ(a.timerIndex[2], 6);
    EXPECT_TRUE(a.startBasicEffect);
    EXPECT_EQ(a.gm1Mode, 5u);
    EXPECT_EQ(a.gm2Mode, 11u);

    const LoadedLighting b = LoadedLightingFromSettings(LedSettings{9, 255, 0, 0, 0, 0, 0, 6, 12}, LedKind::Zone58);
    EXPECT_EQ(b.basicEffectButton, -1);
    EXPECT_FALSE(b.setColour) << "no effect chosen yet: the trackbars keep theirs";
    EXPECT_FALSE(b.startBasicEffect);
    EXPECT_EQ(b.gm1Mode, 0u);
    EXPECT_EQ(b.gm2Mode, 0u);

    for (const uint8_t mode : {0, 1, 2, 3, 4})
        EXPECT_EQ(LoadedLightingFromSettings(LedSettings{mode}, LedKind::None).basicEffectButton, mode);
    EXPECT_EQ(LoadedLightingFromSettings(LedSettings{5}, LedKind::None).basicEffectButton, -1);
}

}  // namespace
}  // namespace pyx::test
