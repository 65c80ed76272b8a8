// Apply in each tuning mode: what reaches each card, in which order, and what the user sees.
#include "app/TuningController.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/TuningRanges.h"
#include "gpu/NvApiIds.h"
#include "tests/app/TuningControllerTestRig.h"

namespace pyx::test {
namespace {

using Lines = std::vector<std::string>;

// Lines of the operations that change clocks, power and thermal limits (the fan's own
// lines are checked apart, since each fan path writes differently).
Lines TuningLines(const Lines& all) {
    Lines out;
    for (const std::string& line : all)
        if (line.starts_with("SetPstates20") || line.starts_with("PowerPolicies") ||
            line.starts_with("ThermalPolicies"))
            out.push_back(line);
    return out;
}

Lines FanLines(const Lines& all) {
    Lines out;
    for (const std::string& line : all)
        if (line.starts_with("SetCoolerLevels") || line.starts_with("RestoreCooler") ||
            line.starts_with("FanCoolers"))
            out.push_back(line);
    return out;
}

// The owner's side: answers the warning, records what was asked and when.
struct Owner {
    explicit Owner(TuningTestRig& rig) : rig(rig) {}

    TuningCallbacks Callbacks() {
        TuningCallbacks c;
        c.confirmWarning = [this](const std::string& text, const std::string& caption) {
            events.push_back("warning");
            warningText = text;
            warningCaption = caption;
            return answer;
        };
        c.showResult = [this](const std::string& text, const std::string& caption) {
            events.push_back("result:" + text + "|" + caption);
        };
        // Where the lighting ran relative to the card writes.
        c.applyLighting = [this] { events.push_back("lighting@" + std::to_string(rig.Trace().size())); };
        c.pageChanged = [this] { ++pageChanges; };
        return c;
    }

    TuningTestRig& rig;
    bool answer = true;
    Lines events;
    std::string warningText;
    std::string warningCaption;
    int pageChanges = 0;
};

struct Fixture {
    explicit Fixture(const std::string& scenario) : rig(scenario), owner(rig), controller(*rig.table, state, owner.Callbacks()) {
        page.selectedGpu = 0;
        ReadSliderRanges(*rig.table, 0, page);
        rig.ClearTrace();
    }
    TuningTestRig rig;
    Owner owner;
    AppState state;
    TuningPage page;
    TuningController controller;
};

// The boost is read once the offsets are back at 0, so the +120 MHz in effect does not count.
TEST(TuningApply, ExtremeWritesFivePercentOfBoostAndThePolicyMaximumInWholePercent) {
    Fixture f(ScenarioJson({PlainCard()}));
    f.page.tuningMode = kTuningModeExtreme;
    f.rig.Board().powerPolicyInfoWord = 0;
    EXPECT_EQ(f.controller.ApplyMode(f.page), ApplyOutcome::Applied);

    EXPECT_EQ(f.rig.Trace(), (Lines{MemoryLine(0, 0), GraphicsLine(0, 0), GraphicsLine(0, 85000), PowerLine(0, 116000)}))
        << "thermal limit and fan unchanged";
    EXPECT_EQ(f.rig.Card().tuning.graphics.deltaKHz, 85000);
    EXPECT_EQ(f.rig.Card().tuning.power.currentPcm, 116000u);
    EXPECT_EQ(f.rig.Board().powerPolicyInfoWord, 100000u) << "the default power is kept";
    EXPECT_EQ(f.owner.events, (Lines{"warning", "lighting@0", "result:Hardware settings applied!|Pyxtune"}));
    EXPECT_EQ(f.owner.warningText, kOverclockWarningText);
    EXPECT_EQ(f.owner.warningCaption, "PYXTUNE");
    EXPECT_EQ(f.state.gpuMode, kTuningModeExtreme);
    EXPECT_TRUE(f.page.settingsCommitted);
}

TEST(TuningApply, PerformanceWritesThreePercentNinetyPercentPowerAndNinetyDegrees) {
    Fixture f(ScenarioJson({PlainCard()}));
    f.page.tuningMode = kTuningModePerformance;
    f.controller.ApplyMode(f.page);
    EXPECT_EQ(f.rig.Trace(), (Lines{MemoryLine(0, 0), GraphicsLine(0, 0), GraphicsLine(0, 51000), PowerLine(0, 90000),
                                    "ThermalPoliciesSetStatus gpu=0 policy=1 limit=23040 status=0"}));
    EXPECT_EQ(f.state.gpuMode, kTuningModePerformance);
    EXPECT_EQ(f.owner.events.front(), "warning");
}

TEST(TuningApply, CommonAsksNothingAndRestoresDefaultsWithAutomaticFan) {
    Fixture f(ScenarioJson({PlainCard()}));
    f.page.tuningMode = kTuningModeCommon;
    f.controller.ApplyMode(f.page);
    // The limit goes to the acoustic policy, so its default (83.5 C, whole degrees) is used.
    EXPECT_EQ(TuningLines(f.rig.Trace()), (Lines{GraphicsLine(0, 0), MemoryLine(0, 0), GraphicsLine(0, 0),
                                                 PowerLine(0, 100000),
                                                 "ThermalPoliciesSetStatus gpu=0 policy=1 limit=21248 status=0"}));
    EXPECT_EQ(f.rig.Card().tuning.coolers[0].policy, sim::kSimCoolerPolicyAuto);
    EXPECT_EQ(f.owner.events, (Lines{"lighting@0", "result:Hardware settings applied!|Pyxtune"}));
    EXPECT_EQ(f.state.gpuMode, kTuningModeCommon);
}

TEST(TuningApply, CommonHandsFanCoolersBackAndWritesNoLimitWithoutUsablePolicies) {
    Fixture f(ScenarioJson({VfCard()}));
    f.rig.Card().tuning.thermalPoliciesSupported = false;
    f.page.tuningMode = kTuningModeCommon;
    f.controller.ApplyMode(f.page);
    for (const auto& cooler : f.rig.Card().tuning.fanCoolers) EXPECT_FALSE(cooler.manual);
    EXPECT_TRUE(FanLines(f.rig.Trace()).size() >= 2u);
    for (const std::string& line : f.rig.Trace()) EXPECT_FALSE(line.starts_with("ThermalPolicies")) << line;
}

TEST(TuningApply, RefusedWarningWritesNothingAndLeavesEverythingAsItWas) {
    for (const int mode : {kTuningModeExtreme, kTuningModePerformance, kTuningModeCustom}) {
        Fixture f(ScenarioJson({PlainCard()}));
        f.owner.answer = false;
        f.state.gpuMode = 3;
        f.page.tuningMode = mode;
        const TuningPage before = f.page;
        EXPECT_EQ(f.controller.ApplyMode(f.page), ApplyOutcome::Refused);
        EXPECT_TRUE(f.rig.Trace().empty()) << "mode " << mode;
        EXPECT_EQ(f.owner.events, Lines{"warning"}) << "no lighting, no result";
        EXPECT_EQ(f.state.gpuMode, 3);
        EXPECT_FALSE(f.page.settingsCommitted);
        EXPECT_EQ(f.page.gpuClock.pos, before.gpuClock.pos);
        EXPECT_EQ(f.rig.Card().tuning.graphics.deltaKHz, 120000);
    }
    // An owner that cannot ask counts as a refusal.
    TuningTestRig rig(ScenarioJson({PlainCard()}));
    AppState state;
    TuningController silent(*rig.table, state, TuningCallbacks{});
    TuningPage page;
    page.tuningMode = kTuningModeExtreme;
    rig.ClearTrace();
    EXPECT_EQ(silent.ApplyMode(page), ApplyOutcome::Refused);
    EXPECT_TRUE(rig.Trace().empty());
}

TEST(TuningApply, NoModeAppliesNothingButStillReportsAndCommits) {
    Fixture f(ScenarioJson({PlainCard()}));
    f.controller.ApplyMode(f.page);
    EXPECT_TRUE(f.rig.Trace().empty());
    EXPECT_EQ(f.owner.events, (Lines{"lighting@0", "result:Hardware settings applied!|Pyxtune"}));
    EXPECT_EQ(f.state.gpuMode, 0);
    EXPECT_TRUE(f.page.settingsCommitted);
}

TEST(TuningApply, PresetsReachTheSelectedGpuAllWhenLinkedAndAllWithoutSelection) {
    const std::string two = ScenarioJson({PlainCard(), PlainCard()});
    {
        Fixture f(two);
        f.page.tuningMode = kTuningModePerformance;
        f.page.selectedGpu = 1;
        f.controller.ApplyMode(f.page);
        EXPECT_EQ(TuningLines(f.rig.Trace()).size(), 5u);
        for (const std::string& line : f.rig.Trace()) EXPECT_TRUE(line.find(" gpu=1 ") != std::string::npos) << line;
    }
    for (const bool linked : {true, false}) {
        Fixture f(two);
        f.page.tuningMode = kTuningModeExtreme;
        f.page.linkAllGpus = linked;
        f.page.selectedGpu = linked ? 1 : -1;
        f.controller.ApplyMode(f.page);
        EXPECT_EQ(f.rig.Trace(), (Lines{MemoryLine(0, 0), GraphicsLine(0, 0), GraphicsLine(0, 85000), PowerLine(0, 116000),
                                        MemoryLine(1, 0), GraphicsLine(1, 0), GraphicsLine(1, 85000), PowerLine(1, 116000)}));
    }
}

TEST(TuningApply, ExtremeOnTheVfFamilyTakesTheFixedOffsetOnlyForTheA014Board) {
    {
        Fixture f(ScenarioJson({PlainCard("0x1B8110DE")}));
        f.rig.Board().family = BoardFamily::D;
        f.rig.Board().isSubsysA014 = 1;
        f.controller.ApplyExtreme(0);
        EXPECT_EQ(TuningLines(f.rig.Trace())[2], GraphicsLine(0, 127000));
    }
    {
        Fixture f(ScenarioJson({PlainCard("0x1B8110DE")}));
        f.rig.Board().family = BoardFamily::D;
        f.controller.ApplyExtreme(0);
        EXPECT_EQ(TuningLines(f.rig.Trace())[2], GraphicsLine(0, 85000));
    }
    {
        // Not of that family: the A014 flag alone changes nothing.
        Fixture f(ScenarioJson({PlainCard("0x1B8110DE")}));
        f.rig.Board().isSubsysA014 = 1;
        f.controller.ApplyExtreme(0);
        EXPECT_EQ(TuningLines(f.rig.Trace())[2], GraphicsLine(0, 85000));
    }
}

TEST(TuningApply, PresetsOutsideTheCardsRangeAreRefusedByTheCardAndTheRestStillRuns) {
    Fixture f(ScenarioJson({PlainCard()}));
    // 5,000,000 kHz once the +120 MHz is taken off: 5 % is 250 MHz, beyond the +200 MHz the card takes.
    f.rig.Card().clockKHz[kClockTypeBoost][kDomainGraphics] = 5120000;
    f.controller.ApplyExtreme(0);
    EXPECT_EQ(f.rig.Trace(), (Lines{MemoryLine(0, 0), GraphicsLine(0, 0), GraphicsLine(0, 250000, -5), PowerLine(0, 116000)}));
    EXPECT_EQ(f.rig.Card().tuning.graphics.deltaKHz, 0);
}

TEST(TuningApply, WithoutThePolicyInformationNoZeroPowerTargetIsSent) {
    Fixture f(ScenarioJson({PlainCard()}));
    f.rig.sim->SetUnsupported(NvOpId(NvOp::PowerPoliciesGetInfo));
    f.controller.ApplyExtreme(0);
    f.controller.ApplyCommon(0);
    for (const std::string& line : f.rig.Trace()) EXPECT_FALSE(line.starts_with("PowerPolicies")) << line;
    EXPECT_EQ(f.rig.Card().tuning.power.currentPcm, 112500u);
    // Performance needs no information: its 90 % is still written.
    f.controller.ApplyPerformance(0);
    EXPECT_EQ(f.rig.Card().tuning.power.currentPcm, 90000u);
}

TEST(TuningCustom, OneCardTakesTheSlidersInOrderAndKeepsThemWithoutVfRange) {
    Fixture f(ScenarioJson({PlainCard()}));
    f.page.tuningMode = kTuningModeCustom;
    f.page.gpuClock.SetClamped(100);
    f.page.memClock.SetClamped(200);
    f.page.power.SetClamped(110);
    f.page.fan.SetClamped(60);
    ASSERT_FALSE(f.page.gpuVf.HasRange());
    f.controller.ApplyMode(f.page);
    EXPECT_EQ(TuningLines(f.rig.Trace()), (Lines{MemoryLine(0, 200000), GraphicsLine(0, 100000), PowerLine(0, 110000)}));
    EXPECT_EQ(FanLines(f.rig.Trace()), (Lines{"SetCoolerLevels gpu=0 cooler=0 level=60 policy=1 status=0",
                                              "SetCoolerLevels gpu=0 cooler=0 level=60 policy=1 status=0"}));
    EXPECT_EQ(f.rig.Card().tuning.graphics.deltaKHz, 100000);
    EXPECT_EQ(f.rig.Card().tuning.memory.deltaKHz, 200000);
    EXPECT_EQ(f.state.gpuMode, kTuningModeCustom);
    EXPECT_GE(f.owner.pageChanges, 1) << "the value labels are redrawn";
}

TEST(TuningCustom, AVfRangeSetsBothOffsetsOnceMoreFromTheVfSliders) {
    Fixture f(ScenarioJson({VfCard()}));
    ASSERT_TRUE(f.page.gpuVf.HasRange());
    f.page.tuningMode = kTuningModeCustom;
    f.page.gpuVf.SetClamped(50);
    f.page.memVf.SetClamped(-20);
    f.page.fan.pos = 80;
    f.controller.ApplyMode(f.page);
    const Lines lines = TuningLines(f.rig.Trace());
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(Lines(lines.end() - 2, lines.end()), (Lines{GraphicsLine(0, 50000), MemoryLine(0, -20000)}));
    // Fan coolers 1 and 2 take the fan slider.
    for (const auto& cooler : f.rig.Card().tuning.fanCoolers) {
        EXPECT_TRUE(cooler.manual);
        EXPECT_EQ(cooler.manualLevel, 80u);
    }
}

TEST(TuningCustom, ARefusedGraphicsOffsetPutsTheCardsOffsetsBackOnTheSliders) {
    Fixture f(ScenarioJson({PlainCard()}));
    f.page.tuningMode = kTuningModeCustom;
    f.page.gpuClock.min = -1000;
    f.page.gpuClock.max = 1000;
    f.page.gpuClock.pos = 300;  // the card takes at most +200 MHz
    f.page.memClock.pos = 250;
    f.page.power.pos = 100;
    f.page.fan.pos = 50;
    f.controller.ApplyMode(f.page);
    EXPECT_EQ(f.page.gpuClock.pos, 120) << "the card kept its own +120 MHz";
    EXPECT_EQ(f.page.memClock.pos, 250) << "the memory offset was taken";
    EXPECT_GE(f.owner.pageChanges, 1);
    // The rest of the steps still ran.
    EXPECT_EQ(f.rig.Card().tuning.power.currentPcm, 100000u);
    EXPECT_EQ(f.rig.Card().tuning.coolers[0].currentLevel, 50u);
    // The result names the refusal instead of claiming success.
    EXPECT_EQ(f.owner.events.back(),
              "result:Not every setting was applied.\n\nGPU 0 refused:\n"
              "  graphics clock offset 300 MHz: the card does not accept this value (status -5)\n\n"
              "The other settings were applied.|Pyxtune");
}

TEST(TuningCustom, LinkedCardsShareOneChoiceAndAlwaysTakeAFixedFanSpeed) {
    Fixture f(ScenarioJson({PlainCard(), PlainCard()}));
    f.rig.Card(0).tuning.graphics.maxKHz = 100000;  // card 1 keeps +200 MHz
    f.rig.Board(0).hasFanCoolersApi = 1;
    f.page.tuningMode = kTuningModeCustom;
    f.page.linkAllGpus = true;
    f.page.gpuClock.pos = 150;
    f.page.memClock.pos = 10;
    f.page.power.pos = 105;
    f.page.fan.pos = 45;
    f.controller.ApplyMode(f.page);
    EXPECT_EQ(f.rig.Card(0).tuning.graphics.deltaKHz, 120000) << "refused";
    EXPECT_EQ(f.rig.Card(1).tuning.graphics.deltaKHz, 150000) << "the choice made before the read-back";
    EXPECT_EQ(f.page.gpuClock.pos, 120) << "card 0's own offset shown";
    for (int gpu = 0; gpu < 2; ++gpu) {
        EXPECT_EQ(f.rig.Card(gpu).tuning.memory.deltaKHz, 10000);
        EXPECT_EQ(f.rig.Card(gpu).tuning.power.currentPcm, 105000u);
        EXPECT_EQ(f.rig.Card(gpu).tuning.coolers[0].currentLevel, 45u);
    }
    for (const std::string& line : f.rig.Trace()) EXPECT_FALSE(line.starts_with("FanCoolers")) << line;
}

TEST(TuningCustom, ADisabledPowerSliderSendsNoPower) {
    Fixture f(ScenarioJson({PlainCard()}));
    f.page.tuningMode = kTuningModeCustom;
    f.page.power = TuningSlider{0, 0, 0, false};
    f.controller.ApplyMode(f.page);
    for (const std::string& line : f.rig.Trace()) EXPECT_FALSE(line.starts_with("PowerPolicies")) << line;
}

TEST(TuningApply, CheckBoostClockRefusesACardWithoutOne) {
    TuningTestRig rig(ScenarioJson({PlainCard(), PlainCard()}));
    rig.Card(0).clockKHz[kClockTypeBoost][kDomainGraphics] = 0;
    BoostClocks clocks;
    EXPECT_STREQ(CheckBoostClock(*rig.table, 0, clocks), kBoostClockZeroText);
    EXPECT_EQ(CheckBoostClock(*rig.table, 1, clocks), nullptr);
    EXPECT_EQ(clocks.graphicsKHz, 1820000u);
    EXPECT_EQ(clocks.memoryKHz, 4006000u);
    rig.sim->SetUnsupported(NvOpId(NvOp::GetAllClockFrequencies));
    EXPECT_STREQ(CheckBoostClock(*rig.table, 1, clocks), kNotKeplerText);
    EXPECT_EQ(clocks.graphicsKHz, 0u);
}

TEST(TuningApply, PresetsReportEveryWriteAndApplyNamesWhatEachGpuRefused) {
    {
        Fixture f(ScenarioJson({PlainCard()}));
        EXPECT_FALSE(f.controller.ApplyExtreme(0).AnyRefused());
        EXPECT_FALSE(f.controller.ApplyPerformance(0).AnyRefused());
        const TuningReport common = f.controller.ApplyCommon(0);
        EXPECT_FALSE(common.AnyRefused());
        // Offsets 0, 0, 0, the default power, the acoustic default limit, the fan's hand-back.
        ASSERT_EQ(common.Writes().size(), 6u);
        EXPECT_EQ(common.Writes()[5].operation, TuningOperation::FanAutomatic);
        EXPECT_EQ(common.Writes()[3].operation, TuningOperation::PowerTarget);
        EXPECT_EQ(common.Writes()[3].value, 100);
        EXPECT_EQ(common.Writes()[4].operation, TuningOperation::ThermalLimit);
        EXPECT_EQ(common.Writes()[4].value, 83);
        EXPECT_TRUE(f.controller.ApplyCommon(7).Writes().empty());
    }
    {
        // A refused offset and a refused limit are both named; the power between them is
        // still written.
        Fixture f(ScenarioJson({PlainCard()}));
        // 8,000,000 kHz without the +120 MHz: 3 % is 240 MHz, beyond the +200 MHz the card takes.
        f.rig.Card().clockKHz[kClockTypeBoost][kDomainGraphics] = 8120000;
        f.rig.sim->SetUnsupported(NvOpId(NvOp::ThermalPoliciesSetStatus));
        const std::vector<TuningWriteResult> refused = f.controller.ApplyPerformance(0).Refusals();
        ASSERT_EQ(refused.size(), 2u);
        EXPECT_EQ(refused[0].operation, TuningOperation::GraphicsClockOffset);
        EXPECT_EQ(refused[0].value, 240);
        EXPECT_EQ(refused[0].status, -5);
        EXPECT_EQ(refused[1].operation, TuningOperation::ThermalLimit);
        EXPECT_EQ(refused[1].value, 90);
        EXPECT_EQ(refused[1].status, kNvNotSupported);
        EXPECT_EQ(f.rig.Card().tuning.power.currentPcm, 90000u);
    }
    {
        // 90 C is beyond this card's acoustic policy: the library is never asked, yet the
        // limit was not taken and is named.
        Fixture f(ScenarioJson({PlainCard()}));
        f.rig.Card().tuning.thermalPolicies[1].maxLimit = 85 * 256;
        const std::vector<TuningWriteResult> refused = f.controller.ApplyPerformance(0).Refusals();
        ASSERT_EQ(refused.size(), 1u);
        EXPECT_EQ(refused[0].operation, TuningOperation::ThermalLimit);
        EXPECT_EQ(refused[0].status, -5);
        f.rig.Card().tuning.thermalPoliciesSupported = false;
        EXPECT_EQ(f.controller.ApplyPerformance(0).Refusals().at(0).status, kNvNotSupported);
        EXPECT_FALSE(f.controller.ApplyCommon(0).AnyRefused()) << "no default limit to restore";
    }
    {
        // Linked: only the second card cannot take its 5 %; the message says so and nothing else.
        Fixture f(ScenarioJson({PlainCard(), PlainCard()}));
        f.rig.Card(1).clockKHz[kClockTypeBoost][kDomainGraphics] = 5120000;
        f.page.tuningMode = kTuningModeExtreme;
        f.page.linkAllGpus = true;
        TuningReport report;
        EXPECT_EQ(f.controller.ApplyMode(f.page, &report), ApplyOutcome::Applied);
        const std::vector<TuningWriteResult> refused = report.Refusals();
        ASSERT_EQ(refused.size(), 1u);
        EXPECT_EQ(refused[0].gpu, 1);
        EXPECT_EQ(refused[0].status, -5);
        EXPECT_TRUE(report.RefusedOn(1));
        EXPECT_FALSE(report.RefusedOn(0));
        EXPECT_EQ(f.rig.Card(1).tuning.power.currentPcm, 116000u);
        EXPECT_EQ(f.owner.events.back(),
                  "result:Not every setting was applied.\n\nGPU 1 refused:\n"
                  "  graphics clock offset 250 MHz: the card does not accept this value (status -5)\n\n"
                  "The other settings were applied.|Pyxtune");
    }
}

TEST(TuningCustom, RefusedWritesOfTheShownGpuPutTheCardsValuesBackAndOthersLeaveTheSlidersAlone) {
    // Card 0 takes neither the power nor the fan; card 1 refuses nothing.
    Fixture f(ScenarioJson({PlainCard(), PlainCard()}));
    f.rig.Card(0).tuning.power.maxPcm = 100000;
    f.rig.Card(0).tuning.coolers.clear();
    f.page.tuningMode = kTuningModeCustom;
    f.page.power.pos = 110;
    f.page.fan.pos = 40;
    TuningReport report;
    f.controller.ApplyMode(f.page, &report);
    EXPECT_TRUE(report.Refused(0, TuningOperation::PowerTarget));
    EXPECT_TRUE(report.Refused(0, TuningOperation::FanSpeed));
    EXPECT_EQ(f.page.power.pos, 112) << "the power the card still holds";
    EXPECT_EQ(f.page.fan.pos, 40) << "no reading to show: the value stays";
    EXPECT_NE(f.owner.events.back().find("  power target 110 %: the card does not accept this value (status -5)\n"),
              std::string::npos)
        << f.owner.events.back();

    // Linked with GPU 1 shown: card 0's refused offset never lands on GPU 1's sliders.
    Fixture linked(ScenarioJson({PlainCard(), PlainCard()}));
    linked.rig.Card(0).tuning.graphics.maxKHz = 100000;
    linked.page.selectedGpu = 1;
    linked.page.tuningMode = kTuningModeCustom;
    linked.page.linkAllGpus = true;
    linked.page.gpuClock.pos = 150;
    linked.controller.ApplyMode(linked.page);
    EXPECT_EQ(linked.page.gpuClock.pos, 150);
    EXPECT_EQ(linked.rig.Card(1).tuning.graphics.deltaKHz, 150000);
}

TEST(TuningReportText, EachRefusalIsNamedWithItsValueUnitAndReason) {
    TuningReport report;
    report.Add(0, TuningOperation::GraphicsClockOffset, 100, kNvOk);
    EXPECT_TRUE(DescribeRefusals(report).empty()) << "a clean apply has nothing to say";
    report.Add(2, TuningOperation::FanSpeedRpm, 1500, kNvFailed);
    report.Add(0, TuningOperation::MemoryVfOffset, -20500, kNvNoInterface);
    report.Add(2, TuningOperation::FanAutomatic, 0, -9);
    EXPECT_EQ(DescribeRefusals(report),
              "Not every setting was applied.\n"
              "\nGPU 0 refused:\n"
              "  memory VF point offset -20500 kHz: the driver does not offer this operation (status -3)\n"
              "\nGPU 2 refused:\n"
              "  fan speed 1500 RPM: the card did not answer, or the part is missing (status -1)\n"
              "  automatic fan control: the driver reported an error (status -9)\n"
              "\nThe other settings were applied.");
}

}  // namespace
}  // namespace pyx::test
