// A fan runs at a fixed level only because a user chose that level, in a unit and range the
// fan takes; everything else leaves it to the card, and says so. One test per rule, each over
// the cards and files that once broke it.
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/CIniText.h"
#include "app/FanSafety.h"
#include "app/ProgramOptions.h"
#include "app/TuningController.h"
#include "app/TuningRanges.h"
#include "app/TuningSettingsStore.h"
#include "gpu/CardTuning.h"
#include "gpu/FanControl.h"
#include "gpu/NvApiIds.h"
#include "tests/app/TuningControllerTestRig.h"
#include "tests/app/TuningSettingsTestRig.h"

namespace pyx::test {
namespace {

std::string Card(const std::string& tuning, const std::string& i2c = "[]") {
    return CardJson(0x1B81, 0x11223344, i2c, "\"tuning\": " + tuning);
}

// A library fan the card drives at 30 % beside two fan coolers it drives at 35 %: the
// simulator's own default card has both, and Custom drives the coolers.
std::string BothPathsCard(const std::string& coolersManual = "") {
    return Card(R"({"coolers": [{"type": 1, "min": 10, "max": 100, "defaultLevel": 30}],
                          "fanCoolers": [{"id": 1, "autoLevel": 35)" + coolersManual + R"(},
                                         {"id": 2, "autoLevel": 35)" + coolersManual + R"(}]})");
}
// The tachometer chip at slot 0, levels in RPM (minimum 2805 of 5500).
const std::string kTachometerChip = R"([{"address": "0x5A", "model": "fan-chip-slot0", "sensorC": 44}])";

void AsDiscovered(SimWorld& world, FanPath path) {
    GpuBoard& board = world.Board();
    board.hasBoostClock = 1;
    board.fan.Select(path);
    board.hasFanCoolersApi = world.Card().tuning.fanCoolers.empty() ? 0 : 1;
    board.fanRangeMin = path == FanPath::TachometerChip ? 2805 : 10;
    board.fanRangeMax = path == FanPath::TachometerChip ? 5500 : 100;
    board.fanRangeMid = 4125;
    if (path == FanPath::TachometerChip) board.i2cSlots[0].devAddress = 0x5A;
}

bool AnyFanManual(SimWorld& world) {
    const sim::SimTuningState& t = world.Card().tuning;
    for (const auto& c : t.coolers)
        if (c.policy == sim::kSimCoolerPolicyManual) return true;
    for (const auto& c : t.fanCoolers)
        if (c.manual) return true;
    int32_t mode = 0;
    return world.Board().fan.Path() == FanPath::TachometerChip && GetFanMode(*world.table, 0, &mode) == kNvOk &&
           mode == 2;
}

TEST(FanRules, AFanIsSavedFixedOnlyWhenItRunsFixedAndWithALevelInItsOwnUnit) {
    struct Case { const char* what; std::string scenario; FanPath path; std::function<void(SimWorld&)> arrange; const char16_t* saved; };
    const Case cases[] = {
        {"coolers the card drives, nothing touched", BothPathsCard(), FanPath::PacedLibraryCooler, {},
         u"FanWorkMode=3\r\nFanSpeed=0\r\n"},
        {"coolers fixed by another program", BothPathsCard(R"(, "level": 60)"), FanPath::PacedLibraryCooler, {},
         u"FanWorkMode=3\r\nFanSpeed=60\r\n"},
        {"coolers whose control cannot be read, fixed by this run", BothPathsCard(), FanPath::PacedLibraryCooler,
         [](SimWorld& w) {
             w.sim->SetUnsupported(NvOpId(NvOp::FanCoolersGetControl));
             ASSERT_EQ(CardTuning(*w.table, 0).Write({.fan = FanRequest::CoolerLevel(45)}).Refused(TuningOperation::FanCoolerLevel), false);
         },
         u"FanWorkMode=3\r\nFanSpeed=45\r\n"},
        {"coolers nobody can say anything about", BothPathsCard(R"(, "level": 60)"), FanPath::PacedLibraryCooler,
         [](SimWorld& w) { w.sim->SetUnsupported(NvOpId(NvOp::FanCoolersGetControl)); }, u"FanWorkMode=3\r\nFanSpeed=0\r\n"},
        {"a library fan held by hand", Card(R"({"coolers": [{"level": 65, "manual": true}]})"),
         FanPath::LibraryCooler, {}, u"FanWorkMode=2\r\nFanSpeed=65\r\n"},
        {"a fixed fan whose reading fails", Card(R"({"coolers": [{"level": 65, "manual": true}]})"),
         FanPath::PacedLibraryCooler, [](SimWorld& w) { w.Board().i2cSlots[1].devAddress = 0x5C; },
         u"FanWorkMode=1\r\nDyaGpuClock"},
        {"a tachometer fan fixed by hand", Card("{}", kTachometerChip), FanPath::TachometerChip,
         [](SimWorld& w) { ASSERT_EQ(SetFanLevel(*w.table, 0, 3000), kNvOk); }, u"FanWorkMode=2\r\nFanSpeed=3000\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TuningRig rig(ScenarioJson({c.scenario}));
        AsDiscovered(rig, c.path);
        if (c.arrange) c.arrange(rig);
        AppState state;
        const std::u16string text = ComposeTuningSettings(*rig.table, state).Text();
        EXPECT_NE(text.find(c.saved), std::u16string::npos) << CIniText::ToUtf8(text);
    }
}

TEST(FanRules, ALevelNoUserCouldHaveChosenIsRefusedAndTheFanLeftToTheCard) {
    // A level outside the range the card names is never sent (skipped); one the card names no
    // range for reaches the write's own rule (refused).
    struct Case { const char* what; std::string scenario; FanPath path; std::u16string fanLines; std::vector<TuningOperation> refused; bool skipped; bool manualAfter; };
    const Case cases[] = {
        {"fixed without a speed", BothPathsCard(), FanPath::LibraryCooler, u"FanWorkMode=2\r\n",
         {TuningOperation::FanSpeed}, false, false},
        {"fixed below the fan's minimum", BothPathsCard(), FanPath::LibraryCooler, u"FanWorkMode=2\r\nFanSpeed=5\r\n",
         {}, true, false},
        {"a percent fallback on a tachometer fan", Card("{}", kTachometerChip), FanPath::TachometerChip,
         u"FanWorkMode=2\r\nFanSpeed=40\r\n", {}, true, false},
        {"coolers saved as automatic", BothPathsCard(R"(, "level": 60)"), FanPath::LibraryCooler,
         u"FanWorkMode=3\r\nFanSpeed=0\r\n", {}, false, false},
        {"a level the user chose", BothPathsCard(), FanPath::LibraryCooler, u"FanWorkMode=2\r\nFanSpeed=55\r\n", {}, false, true},
        {"an RPM the user chose", Card("{}", kTachometerChip), FanPath::TachometerChip,
         u"FanWorkMode=2\r\nFanSpeed=3000\r\n", {}, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TuningRig rig(ScenarioJson({c.scenario}));
        AsDiscovered(rig, c.path);
        CIniTestFolder folder;
        AppState state;
        TuningReport report;
        ASSERT_EQ(LoadTuningSettings(folder.WriteText("p.ini", u"[Gpu1]\r\nId=1b81\r\n" + c.fanLines), *rig.table, state, &report), 1);
        std::vector<TuningOperation> refused;
        // The profile holds no power target: only the fan's answers are looked at.
        for (const TuningWriteResult& w : report.Refusals())
            if (w.operation != TuningOperation::PowerTarget) refused.push_back(w.operation);
        EXPECT_EQ(refused, c.refused);
        EXPECT_EQ(report.Skipped().size(), c.skipped ? 1u : 0u);
        if (c.skipped) {
            EXPECT_NE(report.Skipped().front().find("FanSpeed="), std::string::npos) << report.Skipped().front();
        }
        EXPECT_EQ(AnyFanManual(rig), c.manualAfter);
        EXPECT_EQ(CardTuning(*rig.table, 0).FanPinned(), c.manualAfter);
    }
}

TEST(FanRules, ResetCommonAndTheEndHandBackEveryFanAndNameWhatTheCardRefused) {
    struct Case { const char* what; std::function<TuningReport(TuningController&, TuningPage&, SimWorld&)> act; bool restoreRefused; };
    const Case cases[] = {
        {"Reset", [](TuningController& c, TuningPage& p, SimWorld&) { return c.ResetTuning(p); }, false},
        {"Common", [](TuningController& c, TuningPage&, SimWorld&) { return c.ApplyCommon(0); }, false},
        {"the end", [](TuningController&, TuningPage&, SimWorld& w) { return FanSafety(*w.table).HandBackPinned(); }, false},
        {"Common, restore refused", [](TuningController& c, TuningPage&, SimWorld&) { return c.ApplyCommon(0); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TuningTestRig rig(ScenarioJson({BothPathsCard()}));
        AsDiscovered(rig, FanPath::LibraryCooler);
        AppState state;
        TuningController controller(*rig.table, state, {});
        TuningPage page;
        page.selectedGpu = 0;
        ReadSliderRanges(*rig.table, 0, page);
        // Custom fixed the coolers, and an earlier profile the library fan.
        page.fan.pos = 70;
        (void)controller.ApplyCustom(0, {}, page, true);
        (void)CardTuning(*rig.table, 0).Write({.fan = FanRequest::Fixed(60)});
        ASSERT_TRUE(AnyFanManual(rig));
        if (c.restoreRefused) rig.sim->SetUnsupported(NvOpId(NvOp::RestoreCoolerSettings));

        const TuningReport report = c.act(controller, page, rig);
        EXPECT_EQ(rig.Card().tuning.coolers[0].policy == sim::kSimCoolerPolicyManual, c.restoreRefused);
        for (const auto& cooler : rig.Card().tuning.fanCoolers) EXPECT_FALSE(cooler.manual);
        EXPECT_EQ(report.Refused(0, TuningOperation::FanAutomatic), c.restoreRefused);
        EXPECT_EQ(DescribeRefusals(report).find("fan") != std::string::npos, c.restoreRefused) << DescribeRefusals(report);
    }
}

TEST(FanRules, LinkedCustomDrivesEachCardThroughItsOwnFanInterfaceAndInTheSlidersUnitOnly) {
    TuningTestRig rig(ScenarioJson({PlainCard(), VfCard(), Card("{}", kTachometerChip)}));
    rig.Board(2).fan.Select(FanPath::TachometerChip);
    rig.Board(2).i2cSlots[0].devAddress = 0x5A;
    rig.Board(2).fanRangeMin = 2805;
    AppState state;
    TuningCallbacks callbacks;
    callbacks.confirmWarning = [](const std::string&, const std::string&) { return true; };
    TuningController controller(*rig.table, state, callbacks);
    TuningPage page;
    page.selectedGpu = 0;
    ReadSliderRanges(*rig.table, 0, page);
    page.tuningMode = kTuningModeCustom;
    page.linkAllGpus = true;
    page.fan.pos = 80;
    TuningReport report;
    ASSERT_EQ(controller.ApplyMode(page, &report), ApplyOutcome::Applied);

    EXPECT_EQ(rig.Card(0).tuning.coolers[0].currentLevel, 80u);
    for (const auto& cooler : rig.Card(1).tuning.fanCoolers) EXPECT_EQ(cooler.Level(), 80u);
    // 80 % is no speed for a fan driven by RPM: refused, and that fan left to its chip.
    EXPECT_TRUE(report.Refused(2, TuningOperation::FanSpeedRpm));
    int32_t mode = 0;
    ASSERT_EQ(GetFanMode(*rig.table, 2, &mode), kNvOk);
    EXPECT_EQ(mode, 1);
    EXPECT_EQ(report.Refusals().size(), 1u);
}

TEST(FanRules, TheWatchHandsBackAPinnedFanOnceAtTheThermalLimitOrWhenTheTemperatureIsLost) {
    // The acoustic limit is 83 C; fixedPercent 0: no fan fixed by this run; handBackTick 0: none in five ticks.
    struct Case { const char* what; int temperatureC; int fixedPercent; bool adoptManualFans; bool temperatureLost; int handBackTick; };
    const Case cases[] = {
        {"below the limit", 82, 40, false, false, 0},
        {"at the limit", 83, 40, false, false, 1},
        {"at the limit, fan already full", 90, 100, false, false, 0},
        {"at the limit, no fan fixed", 90, 0, false, false, 0},
        {"at the limit, fixed by another run and adopted", 90, 0, true, false, 1},
        {"temperature lost", 50, 40, false, true, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TuningTestRig rig(ScenarioJson({PlainCard()}));
        rig.Card().sensors[0].currentC = c.temperatureC;
        // PlainCard's fan is fixed at 65 % by hand before this run.
        rig.Card().tuning.coolers[0].policy = c.adoptManualFans ? sim::kSimCoolerPolicyManual : sim::kSimCoolerPolicyAuto;
        if (c.fixedPercent > 0) (void)CardTuning(*rig.table, 0).Write({.fan = FanRequest::Fixed(c.fixedPercent)});
        if (c.temperatureLost) rig.sim->SetUnsupported(NvOpId(NvOp::GetThermalSettings));
        FanSafety watch(*rig.table);
        if (c.adoptManualFans) watch.WatchManualFans();
        int handedBackAt = 0;
        for (int tick = 1; tick <= 5; ++tick) {
            const std::vector<FanHandBack> handBacks = watch.Tick();
            if (handBacks.empty()) continue;
            EXPECT_EQ(handedBackAt, 0) << "handed back twice";
            handedBackAt = tick;
            EXPECT_EQ(handBacks[0].reason,
                      c.temperatureLost ? FanHandBackReason::TemperatureLost : FanHandBackReason::ThermalLimit);
            EXPECT_NE(DescribeHandBack(handBacks[0]).find("back under the card's own control"), std::string::npos)
                << DescribeHandBack(handBacks[0]);
        }
        EXPECT_EQ(handedBackAt, c.handBackTick);
        EXPECT_EQ(AnyFanManual(rig), c.handBackTick == 0 && (c.fixedPercent > 0 || c.adoptManualFans));
    }
}

// The program's own choices survive a restart; a file without them (or from before them) gives
// the defaults, and a revert time outside 5-60 s is held to that range.
TEST(FanRules, TheProgramsChoicesSurviveARestartWithTheirDefaultsAndRange) {
    CIniTestFolder folder;
    const std::filesystem::path file = folder.Path() / kProgramOptionsFileName;
    const ProgramOptions defaults = LoadProgramOptions(file);
    EXPECT_FALSE(defaults.fansAutomaticOnExit);
    EXPECT_TRUE(defaults.askBeforeKeeping);
    EXPECT_EQ(defaults.revertAfterS, 15);
    for (const ProgramOptions& saved : {ProgramOptions{true, false, 60}, ProgramOptions{false, true, 5}}) {
        ASSERT_TRUE(SaveProgramOptions(saved, file));
        const ProgramOptions loaded = LoadProgramOptions(file);
        EXPECT_EQ(loaded.fansAutomaticOnExit, saved.fansAutomaticOnExit);
        EXPECT_EQ(loaded.askBeforeKeeping, saved.askBeforeKeeping);
        EXPECT_EQ(loaded.revertAfterS, saved.revertAfterS);
    }
    folder.WriteText(kProgramOptionsFileName, u"[Options]\r\nRevertAfterSeconds=600\r\n");
    EXPECT_EQ(LoadProgramOptions(file).revertAfterS, kRevertAfterMaxS);
    EXPECT_TRUE(LoadProgramOptions(file).askBeforeKeeping);
}

}  // namespace
}  // namespace pyx::test
