#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <limits>
#include <optional>
#include <string>

#include "app/CIniText.h"
#include "app/TuningReport.h"
#include "app/TuningSettingsStore.h"
#include "gpu/NvApiIds.h"
#include "led/LedBoardState.h"
#include "tests/app/TuningSettingsTestRig.h"

namespace pyx::test {
namespace {

// The byte-order mark the program writes first. Prepended by insert: GCC 12's -O3 takes
// `u"\xFEFF" + std::u16string&&` for an overlapping copy (-Wrestrict, a false alarm).
std::u16string WithBom(std::u16string text) {
    text.insert(text.begin(), u'\xFEFF');
    return text;
}

// A Pascal card's section with every key the load reads.
std::u16string FullSection(int gpuNumber, std::u16string_view id, int gpuClockMHz) {
    return u"[Gpu" + CIniText::FromUtf8(std::to_string(gpuNumber)) + u"]\r\nId=" + std::u16string(id) +
           u"\r\nFanWorkMode=2\r\nFanSpeed=55\r\nDyaGpuClock=" + CIniText::FromUtf8(std::to_string(gpuClockMHz)) +
           u"\r\nDyaMemClock=-20\r\nPowerTarget=90\r\nGpuMode=2\r\nGpuVF=0\r\nMemVF=0\r\nPercentOV=3\r\n"
           u"LEDMODE=1\r\nLED_R_CR=11\r\nLED_G_CR=22\r\nLED_B_CR=33\r\nLED_Timer1=4\r\nLED_Timer2=5\r\n"
           u"LED_Timer3=6\r\nGM1MODE=7\r\nGM2MODE=8\r\n";
}

struct LoadCase {
    LoadCase() : LoadCase(ScenarioJson({kPascalCard})) {}
    explicit LoadCase(const std::string& scenario) : rig(scenario) {}

    int32_t Load(std::u16string_view text) {
        return LoadTuningSettings(folder.WriteText("profile.ini", text), *rig.table, state);
    }

    TuningRig rig;
    CIniTestFolder folder;
    AppState state;
};

TEST(TuningSettingsLoadTest, AMatchedSectionFillsTheStateAndTunesTheCard) {
    LoadCase c;
    ASSERT_EQ(c.Load(WithBom(FullSection(1, u"1b81", 75))), 1);

    EXPECT_EQ(c.state.tuningSettings, (TuningSettings{75, -20, 90, 2, 55}));
    EXPECT_EQ(c.state.gpuMode, 2);
    EXPECT_EQ(c.state.ledSettings, (LedSettings{1, 11, 22, 33, 4, 5, 6, 7, 8}));
    EXPECT_EQ(c.state.ledControllerKind, LedKind::Zone58);

    const sim::SimTuningState& card = c.rig.Tuning(0);
    EXPECT_EQ(card.graphics.deltaKHz, 75000);
    EXPECT_EQ(card.memory.deltaKHz, -20000);
    EXPECT_EQ(card.power.currentPcm, 90000u);
    EXPECT_EQ(card.coolers[0].policy, sim::kSimCoolerPolicyManual);
    EXPECT_EQ(card.coolers[0].currentLevel, 55u);
    // PercentOV is only written; the card's over-voltage is not touched.
    EXPECT_EQ(card.overVoltagePercent, 7);
}

TEST(TuningSettingsLoadTest, SectionsAndIdsAreMatchedWholeAndWithoutRegardToCase) {
    {
        LoadCase c;
        EXPECT_EQ(c.Load(u"[ gPU1 ]\r\nId=1B81\r\nDyaGpuClock=40\r\n"), 1);
        EXPECT_EQ(c.rig.Tuning(0).graphics.deltaKHz, 40000);
    }
    // Ids that only resemble the card's: a leading blank, a prefix, a longer id.
    for (const std::u16string id : {u" 1b81", u"1b8", u"1b810"}) {
        LoadCase c;
        EXPECT_EQ(c.Load(u"[Gpu1]\r\nId=" + id + u"\r\nDyaGpuClock=40\r\nLEDMODE=3\r\n"), 0);
        EXPECT_EQ(c.rig.Tuning(0).graphics.deltaKHz, 120000);
        EXPECT_EQ(c.state.ledSettings, LedSettings{});
        EXPECT_EQ(c.state.tuningSettings, TuningSettings{});
    }
    {
        // A section for GPU 12 placed first is not taken for GPU 1's.
        LoadCase c;
        EXPECT_EQ(c.Load(u"[Gpu12]\r\nId=1b81\r\nDyaGpuClock=12\r\n[Gpu1]\r\nId=1b81\r\nDyaGpuClock=1\r\n"), 1);
        EXPECT_EQ(c.rig.Tuning(0).graphics.deltaKHz, 1000);
    }
}

TEST(TuningSettingsLoadTest, ASectionWithoutIdMatchesOnlyACardWhoseIdIsUnknown) {
    const std::u16string text = u"[Gpu1]\r\nDyaGpuClock=30\r\n";
    {
        LoadCase c;
        EXPECT_EQ(c.Load(text), 0);
        EXPECT_EQ(c.rig.Tuning(0).graphics.deltaKHz, 120000);
    }
    LoadCase c;
    c.rig.table->Board(0).deviceIdText[0] = u'\0';
    EXPECT_EQ(c.Load(text), 1);
    EXPECT_EQ(c.rig.Tuning(0).graphics.deltaKHz, 30000);
    // But a file with no section for it holds nothing for it.
    c.rig.Tuning(0).power.currentPcm = 100000;
    EXPECT_EQ(c.Load(u"\xFEFF"), 0);
    EXPECT_EQ(c.Load(u"\xFEFF[Gpu2]\r\nId=\r\n"), 0);
    EXPECT_EQ(c.rig.Tuning(0).power.currentPcm, 100000u);
}

TEST(TuningSettingsLoadTest, EachOfTwoLikeCardsTakesItsOwnSectionAndTheStateEndsWithTheLast) {
    LoadCase c(ScenarioJson({kPascalCard, kPascalCard}));
    // The sections in reverse order: each is still found by its own number.
    ASSERT_EQ(c.Load(WithBom(FullSection(2, u"1b81", -60) + FullSection(1, u"1b81", 60))), 1);
    EXPECT_EQ(c.rig.Tuning(0).graphics.deltaKHz, 60000);
    EXPECT_EQ(c.rig.Tuning(1).graphics.deltaKHz, -60000);
    EXPECT_EQ(c.state.tuningSettings.gpuClockOffsetMHz, -60);
}

TEST(TuningSettingsLoadTest, MissingKeysCountAsZeroAndBytesKeepTheirLowEight) {
    LoadCase c;
    c.state.tuningSettings = {1, 2, 3, 4, 5};
    // The file of an automatic fan has no FanSpeed; the others are missing or too wide.
    ASSERT_EQ(c.Load(u"[Gpu1]\r\nId=1b81\r\nFanWorkMode=1\r\nGpuMode=258\r\nLED_R_CR=511\r\nLED_B_CR=-1\r\n"), 1);
    EXPECT_EQ(c.state.tuningSettings, (TuningSettings{0, 0, 0, 1, 0}));
    EXPECT_EQ(c.state.gpuMode, 2);
    EXPECT_EQ(c.state.ledSettings, (LedSettings{0, 255, 0, 255, 0, 0, 0, 0, 0}));
    // Mode 1 hands the fan back to automatic control; missing offsets are applied as 0.
    EXPECT_EQ(c.rig.Tuning(0).coolers[0].policy, sim::kSimCoolerPolicyAuto);
    EXPECT_EQ(c.rig.Tuning(0).graphics.deltaKHz, 0);
    EXPECT_EQ(c.rig.Tuning(0).memory.deltaKHz, 0);
}

TEST(TuningSettingsLoadTest, AFanModeOfNoKnownKindLeavesTheFanAlone) {
    LoadCase c;
    ASSERT_EQ(c.Load(u"[Gpu1]\r\nId=1b81\r\nFanWorkMode=7\r\nFanSpeed=90\r\n"), 1);
    EXPECT_EQ(c.rig.Tuning(0).coolers[0].policy, sim::kSimCoolerPolicyManual);
    EXPECT_EQ(c.rig.Tuning(0).coolers[0].currentLevel, 65u);
    EXPECT_EQ(c.state.tuningSettings.fanSpeed, 90);
}

// Offsets too large for kHz once asked for the opposite offset; beyond any card's range, they
// are now not sent at all, and said, while the rest of the section is.
TEST(TuningSettingsLoadTest, OffsetsBeyondTheCardsRangeAreNotSentAndSaid) {
    LoadCase c;
    c.rig.Tuning(0).graphics.minKHz = std::numeric_limits<int32_t>::min();
    c.rig.Tuning(0).graphics.maxKHz = std::numeric_limits<int32_t>::max();
    c.rig.Tuning(0).memory.minKHz = std::numeric_limits<int32_t>::min();
    c.rig.Tuning(0).graphics.deltaKHz = 0;
    c.rig.Tuning(0).memory.deltaKHz = 0;
    TuningReport report;
    ASSERT_EQ(LoadTuningSettings(c.folder.WriteText("p.ini", u"[Gpu1]\r\nId=1b81\r\nDyaGpuClock=3000000\r\n"
                                                             u"DyaMemClock=-3000000\r\nPowerTarget=90\r\n"),
                                 *c.rig.table, c.state, &report),
              1);
    EXPECT_EQ(c.rig.Tuning(0).graphics.deltaKHz, 0);
    EXPECT_EQ(c.rig.Tuning(0).memory.deltaKHz, 0);
    EXPECT_EQ(c.rig.Tuning(0).power.currentPcm, 90000u);
    ASSERT_EQ(report.Skipped().size(), 2u);
    EXPECT_NE(report.Skipped()[0].find("DyaGpuClock=3000000 MHz is outside GPU 0's range"), std::string::npos);
    EXPECT_NE(report.Skipped()[1].find("DyaMemClock=-3000000 MHz"), std::string::npos);
}

TEST(TuningSettingsLoadTest, WhatIsAppliedDependsOnTheKindOfBoard) {
    const std::u16string file = u"[Gpu1]\r\nId=2684\r\nFanWorkMode=3\r\nFanSpeed=45\r\nDyaGpuClock=50\r\n"
                                u"DyaMemClock=60\r\nPowerTarget=105\r\nGpuVF=-15000\r\nMemVF=20000\r\n";
    {
        // A VF-point board takes power, fan coolers, VF offsets and, as the file holds them,
        // its P-state offsets: the presets and Custom set those on such a board too.
        LoadCase c(ScenarioJson({kVfCard}));
        ASSERT_EQ(c.Load(file), 1);
        const sim::SimTuningState& card = c.rig.Tuning(0);
        EXPECT_EQ(card.graphics.deltaKHz, 50000);
        EXPECT_EQ(card.memory.deltaKHz, 60000);
        EXPECT_EQ(card.power.currentPcm, 105000u);
        for (const auto& fan : card.fanCoolers) {
            EXPECT_TRUE(fan.manual);
            EXPECT_EQ(fan.manualLevel, 45u);
        }
        for (int p = 0; p <= 78; ++p) EXPECT_EQ(card.vfPoints[p].offsetKHz, -15000) << p;
        EXPECT_EQ(card.vfPoints[79].offsetKHz, -5000);  // fixed
        EXPECT_EQ(card.vfPoints[80].offsetKHz, 20000);
        EXPECT_EQ(card.vfPoints[81].offsetKHz, 20000);
    }
    {
        // A file written when the card would not report its P-states has no such lines: the
        // P-state offsets are left as they are rather than set to 0.
        LoadCase c(ScenarioJson({kVfCard}));
        ASSERT_EQ(c.Load(u"[Gpu1]\r\nId=2684\r\nPowerTarget=105\r\nGpuVF=-15000\r\n"), 1);
        EXPECT_EQ(c.rig.Tuning(0).graphics.deltaKHz, -150999);
        EXPECT_EQ(c.rig.Tuning(0).memory.deltaKHz, 0);
        EXPECT_EQ(c.rig.Tuning(0).vfPoints[0].offsetKHz, -15000);
    }
    {
        // A board without a boost clock (which only the command-line tool tunes) gets the
        // offsets and power the file holds, and nothing the file leaves out.
        LoadCase c(ScenarioJson({kVfCard}));
        c.rig.table->Board(0).family = BoardFamily::None;
        c.rig.table->Board(0).hasBoostClock = 0;
        ASSERT_EQ(c.Load(u"[Gpu1]\r\nId=2684\r\nFanWorkMode=3\r\nFanSpeed=45\r\n"), 1);
        EXPECT_EQ(c.rig.Tuning(0).power.currentPcm, 95000u);
        EXPECT_EQ(c.rig.Tuning(0).graphics.deltaKHz, -150999);
        ASSERT_EQ(c.Load(file), 1);
        EXPECT_EQ(c.rig.Tuning(0).power.currentPcm, 105000u);
        EXPECT_EQ(c.rig.Tuning(0).graphics.deltaKHz, 50000);
        EXPECT_EQ(c.rig.Tuning(0).memory.deltaKHz, 60000);
        EXPECT_EQ(c.rig.Tuning(0).vfPoints[80].offsetKHz, 300000);
        EXPECT_EQ(c.rig.Tuning(0).fanCoolers[0].manualLevel, 45u);
    }
    {
        // A board that lists no memory domain: the memory offset lands on no point at all.
        LoadCase c(ScenarioJson({kVfCard}));
        c.rig.Tuning(0).clockDomains.resize(1);
        ASSERT_EQ(c.Load(file), 1);
        EXPECT_EQ(c.rig.Tuning(0).vfPoints[0].offsetKHz, -15000);
        EXPECT_EQ(c.rig.Tuning(0).vfPoints[80].offsetKHz, 300000);
    }
}

TEST(TuningSettingsLoadTest, HardwareRefusalsArePassedOver) {
    LoadCase c;
    c.rig.sim->SetUnsupported(NvOpId(NvOp::PowerPoliciesGetStatus));
    c.rig.sim->SetUnsupported(NvOpId(NvOp::SetCoolerLevels));
    ASSERT_EQ(c.Load(WithBom(FullSection(1, u"1b81", 75))), 1);
    EXPECT_EQ(c.rig.Tuning(0).power.currentPcm, 112500u);
    EXPECT_EQ(c.rig.Tuning(0).graphics.deltaKHz, 75000);
    EXPECT_EQ(c.state.ledSettings, (LedSettings{1, 11, 22, 33, 4, 5, 6, 7, 8}));
}

// The thermal limit reaches the card only from a file that holds it and only within the
// acoustic policy's range; one outside it is never sent and is said, one the card cannot take
// is refused and reported, and the rest is still applied.
TEST(TuningSettingsLoadTest, TheThermalLimitIsSetOnlyFromALineAndOnlyWithinItsRange) {
    struct Case {
        const char* name;
        std::string scenario;
        std::u16string line;
        std::optional<NvStatus> answer;  // none: no thermal write at all
        int32_t limit;                   // the acoustic policy's afterwards, 1/256 degrees
        std::function<void(TuningRig&)> arrange = [](TuningRig&) {};
    };
    const auto noStatus = [](TuningRig& r) { r.sim->SetUnsupported(NvOpId(NvOp::ThermalPoliciesGetStatus)); };
    const int32_t before = 80 * 256;
    const Case cases[] = {
        {"within the range", ScenarioJson({kPascalCard}), u"ThermalLimit=70\r\n", kNvOk, 70 * 256},
        {"its maximum", ScenarioJson({kPascalCard}), u"ThermalLimit=92\r\n", kNvOk, 92 * 256},
        {"on a VF-point board", ScenarioJson({kVfCard}), u"ThermalLimit=66\r\n", kNvOk, 66 * 256},
        {"no line", ScenarioJson({kPascalCard}), u"", std::nullopt, before},
        {"no line, VF-point board", ScenarioJson({kVfCard}), u"", std::nullopt, before},
                // Outside the range the card names: never sent (answer none), and said.
        {"above the maximum", ScenarioJson({kPascalCard}), u"ThermalLimit=93\r\n", std::nullopt, before},
        {"below the minimum", ScenarioJson({kPascalCard}), u"ThermalLimit=64\r\n", std::nullopt, before},
        {"beyond what the record holds", ScenarioJson({kPascalCard}), u"ThermalLimit=2147483647\r\n",
         std::nullopt, before},
        {"negative", ScenarioJson({kPascalCard}), u"ThermalLimit=-2147483648\r\n", std::nullopt, before},
        {"no policies", ScenarioJson({kPascalCard}), u"ThermalLimit=70\r\n", kNvNotSupported, before,
         [](TuningRig& r) { r.Tuning(0).thermalPoliciesSupported = false; }},
        // The range is in the information record: a card whose status cannot be read still
        // takes a limit within it, and one beyond it is not taken for set.
        {"status unreadable", ScenarioJson({kPascalCard}), u"ThermalLimit=70\r\n", kNvOk, 70 * 256, noStatus},
        {"status unreadable, above the maximum", ScenarioJson({kPascalCard}), u"ThermalLimit=93\r\n",
         std::nullopt, before, noStatus},
    };
    for (const Case& c : cases) {
        LoadCase load(c.scenario);
        sim::SimThermalPolicy& acoustic = load.rig.AcousticPolicy(0);
        acoustic.currentLimit = before;
        // Every write of the limit clears the preference, so it shows whether one was sent.
        acoustic.preferAcoustics = true;
        c.arrange(load.rig);
        const bool vf = c.scenario.find("2684") != std::string::npos;
        TuningReport report;
        const std::u16string text = u"[Gpu1]\r\nId=" + std::u16string(vf ? u"2684" : u"1b81") +
                                    u"\r\nDyaGpuClock=40\r\n" + c.line + u"PowerTarget=90\r\n";
        ASSERT_EQ(LoadTuningSettings(load.folder.WriteText("profile.ini", text), *load.rig.table, load.state, &report),
                  1)
            << c.name;

        std::optional<NvStatus> answer;
        for (const TuningWriteResult& w : report.Writes())
            if (w.operation == TuningOperation::ThermalLimit) {
                EXPECT_FALSE(answer) << c.name << ": the limit was written twice";
                answer = w.status;
            }
        EXPECT_EQ(answer, c.answer) << c.name;
        EXPECT_EQ(acoustic.currentLimit, c.limit) << c.name;
        EXPECT_EQ(acoustic.preferAcoustics, c.answer != kNvOk) << c.name << ": a limit was sent";
        const bool skipped = !c.answer && !c.line.empty();
        EXPECT_EQ(report.Skipped().size(), skipped ? 1u : 0u) << c.name;
        if (skipped) {
            EXPECT_NE(report.Skipped().front().find("ThermalLimit="), std::string::npos) << c.name;
        }
        // The rest of the file is applied all the same.
        EXPECT_EQ(load.rig.Tuning(0).graphics.deltaKHz, 40000) << c.name;
        EXPECT_EQ(load.rig.Tuning(0).power.currentPcm, 90000u) << c.name;
        // What the window shows after its start names the refused limit.
        const std::string shown = DescribeRefusals(report);
        EXPECT_EQ(shown.find("temperature limit") != std::string::npos, c.answer && *c.answer != kNvOk)
            << c.name << ": " << shown;
    }
}

TEST(TuningSettingsLoadTest, ALightingProbeThatFindsNothingKeepsTheKindFoundBefore) {
    LoadCase c(ScenarioJson({kVfCard}));
    c.state.ledControllerKind = LedKind::EffectAC;
    ASSERT_EQ(c.Load(u"[Gpu1]\r\nId=2684\r\n"), 1);
    EXPECT_EQ(c.state.ledControllerKind, LedKind::EffectAC);
}

TEST(TuningSettingsLoadTest, AFileThatCannotBeReadChangesNothing) {
    LoadCase c;
    c.state.gpuMode = 4;
    EXPECT_EQ(LoadTuningSettings(c.folder.Path() / "missing.txt", *c.rig.table, c.state), 0);
    // An empty name reads Preformance.txt from the current folder, here absent too.
    const auto before = std::filesystem::current_path();
    std::filesystem::current_path(c.folder.Path());
    const int32_t result = LoadTuningSettings({}, *c.rig.table, c.state);
    std::filesystem::current_path(before);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(c.state.gpuMode, 4);
    EXPECT_EQ(c.state.ledSettings, LedSettings{});
    EXPECT_EQ(c.rig.Tuning(0).graphics.deltaKHz, 120000);
    EXPECT_EQ(c.rig.Tuning(0).coolers[0].currentLevel, 65u);
}

}  // namespace
}  // namespace pyx::test
