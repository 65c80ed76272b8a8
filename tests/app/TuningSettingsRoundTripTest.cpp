#include <gtest/gtest.h>

#include <string>

#include "app/CIniText.h"
#include "app/TuningSettingsStore.h"
#include "led/LedBoardState.h"
#include "tests/app/TuningSettingsTestRig.h"

namespace pyx::test {
namespace {

// Settles every card back to what it would hold after a restart without saved settings.
void ForgetTuning(TuningRig& rig) {
    for (int gpu = 0; gpu < rig.table->gpuCount; ++gpu) {
        sim::SimTuningState& card = rig.Tuning(gpu);
        card.graphics.deltaKHz = 0;
        card.memory.deltaKHz = 0;
        card.power.currentPcm = card.power.defaultPcm;
        for (auto& cooler : card.coolers) {
            cooler.policy = sim::kSimCoolerPolicyAuto;
            cooler.currentLevel = cooler.defaultLevel;
        }
        for (auto& fan : card.fanCoolers) fan.manual = false;
        for (auto& point : card.vfPoints)
            if (point.type == 0) point.offsetKHz = 0;
        for (auto& policy : card.thermalPolicies) policy.currentLimit = policy.defaultLimit;
    }
}

TEST(TuningSettingsRoundTripTest, WhatIsSavedIsPutBackOnEveryCard) {
    TuningRig rig(ScenarioJson({kPascalCard, kVfCard}));
    CIniTestFolder folder;
    const auto file = folder.Path() / "Preformance.txt";
    std::u16string savedText;
    // Limits off the default of 83: Performance's 90, and one a Custom apply could leave.
    rig.AcousticPolicy(0).currentLimit = 90 * 256;
    rig.AcousticPolicy(1).currentLimit = 70 * 256;
    {
        AppState state;
        state.gpuMode = 3;
        state.ledSettings = SampleLed();
        ASSERT_EQ(SaveTuningSettings(*rig.table, state, file), 1);
        savedText = ComposeTuningSettings(*rig.table, state).Text();
    }
    ForgetTuning(rig);

    AppState state;  // as after a restart
    ASSERT_EQ(LoadTuningSettings(file, *rig.table, state), 1);

    const sim::SimTuningState& pascal = rig.Tuning(0);
    EXPECT_EQ(pascal.graphics.deltaKHz, 120000);
    EXPECT_EQ(pascal.memory.deltaKHz, 350000);  // the file keeps whole MHz
    EXPECT_EQ(pascal.power.currentPcm, 112000u);
    EXPECT_EQ(pascal.coolers[0].policy, sim::kSimCoolerPolicyManual);
    EXPECT_EQ(pascal.coolers[0].currentLevel, 65u);
    EXPECT_EQ(rig.AcousticPolicy(0).currentLimit, 90 * 256);

    const sim::SimTuningState& vf = rig.Tuning(1);
    EXPECT_EQ(vf.power.currentPcm, 95000u);
    EXPECT_EQ(rig.AcousticPolicy(1).currentLimit, 70 * 256);
    for (const auto& fan : vf.fanCoolers) {
        EXPECT_TRUE(fan.manual);
        EXPECT_EQ(fan.manualLevel, 70u);
    }
    // Every programmable point takes the offset its domain's last programmable point had.
    for (int p = 0; p <= 78; ++p) EXPECT_EQ(vf.vfPoints[p].offsetKHz, 45000) << "point " << p;
    EXPECT_EQ(vf.vfPoints[79].offsetKHz, -5000);
    EXPECT_EQ(vf.vfPoints[80].offsetKHz, 300000);
    EXPECT_EQ(vf.vfPoints[81].offsetKHz, 300000);
    // Its P-state offsets come back too, in the whole MHz the file keeps.
    EXPECT_EQ(vf.graphics.deltaKHz, -150000);
    EXPECT_EQ(vf.memory.deltaKHz, 0);

    // The shared fields hold the last card's values; the lighting kind is the one card that
    // has a controller's.
    EXPECT_EQ(state.tuningSettings, (TuningSettings{-150, 0, 95, 3, 70}));
    EXPECT_EQ(state.gpuMode, 3);
    EXPECT_EQ(state.ledSettings, SampleLed());
    EXPECT_EQ(state.ledControllerKind, LedKind::Zone58);

    // The VF-point card, saved again, gives the section it gave before.
    AppState again = state;
    const std::u16string text = ComposeTuningSettings(*rig.table, again).Text();
    auto secondSection = [](const std::u16string& s) { return s.substr(s.find(u"[Gpu2]")); };
    EXPECT_EQ(CIniText::ToUtf8(secondSection(text)), CIniText::ToUtf8(secondSection(savedText)));
}

}  // namespace
}  // namespace pyx::test
