// A fan curve gives the level the user's points ask for, never lowers the fan while the GPU
// hovers near the temperature that raised it, hands the fan back when it can no longer be run
// safely, and survives a save and a load exactly.
#include <chrono>
#include <optional>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "app/CIniText.h"
#include "app/FanCurveEngine.h"
#include "app/TuningRevert.h"
#include "app/TuningSettingsStore.h"
#include "gpu/CardSensors.h"
#include "gpu/CardTuning.h"
#include "gpu/NvApiIds.h"
#include "tests/app/TuningSettingsTestRig.h"

namespace pyx::test {
namespace {

using Clock = FanCurveEngine::Clock;

TEST(FanCurve, PointsAreReadOnlyWhenTheyMakeASoundCurve) {
    struct Case { const char* text; const char* formatted; const char* fault; };
    const Case cases[] = {
        {"40:30,50:35,60:50,70:75,80:100", "40:30,50:35,60:50,70:75,80:100", nullptr},
        {"40:30 60:50  80:100", "40:30,60:50,80:100", nullptr},
        {"20:0,120:100", "20:0,120:100", nullptr},
        {"40:30", nullptr, "2 to 8 points"},
        {"", nullptr, "2 to 8 points"},
        {"10:1,20:2,30:3,40:4,50:5,60:6,70:7,80:8,90:9", nullptr, "at most 8"},
        {"40:30,40:50", nullptr, "temperatures must rise"},
        {"60:50,40:30", nullptr, "temperatures must rise"},
        {"40:50,60:30", nullptr, "must not slow down"},
        {"40:30,130:100", nullptr, "outside 0..120"},
        {"-5:30,60:50", nullptr, "outside 0..120"},
        {"40:-1,60:50", nullptr, "below 0"},
        {"40:30,60", nullptr, "\"60\" is not a point"},
        {"40:30,60:5x", nullptr, "\"60:5x\" is not a point"},
        {"40:30,99999999999:5", nullptr, "is not a point"},
    };
    for (const Case& c : cases) {
        std::string why;
        const std::optional<FanCurve> curve = ParseFanCurvePoints(c.text, &why);
        if (c.formatted) {
            ASSERT_TRUE(curve) << c.text << ": " << why;
            EXPECT_EQ(FormatFanCurvePoints(*curve), c.formatted);
        } else {
            EXPECT_FALSE(curve) << c.text;
            EXPECT_NE(why.find(c.fault), std::string::npos) << c.text << ": " << why;
        }
    }
    // Against a fan's own levels: above its highest is refused, below its lowest is run there.
    const FanCurve curve = *ParseFanCurvePoints("40:5,80:100");
    EXPECT_EQ(FanCurveFault(curve, {10, 100}, FanUnit::Percent), std::nullopt);
    EXPECT_NE(FanCurveFault(curve, {10, 90}, FanUnit::Percent)->find("highest level of 90 %"), std::string::npos);
    EXPECT_EQ(FanCurve::Default(FanUnit::Rpm, FanLevelRange{800, 3000}).points.back().level, 3000);
}

TEST(FanCurve, TheLevelIsLinearBetweenPointsAndFlatOutsideThem) {
    FanCurve curve = FanCurve::Default();
    const std::pair<int32_t, std::optional<int32_t>> levels[] = {
        {0, 30}, {39, 30}, {40, 30}, {45, 33}, {50, 35}, {55, 43}, {65, 63}, {79, 98}, {80, 100}, {110, 100}};
    for (const auto& [temperatureC, level] : levels) EXPECT_EQ(curve.LevelAt(temperatureC), level) << temperatureC;
    curve.autoBelow = true;
    EXPECT_EQ(curve.LevelAt(39), std::nullopt);
    EXPECT_EQ(curve.LevelAt(40), 30);
}

// One library fan of 10..100 %, as discovery finds it.
struct CurveRig : TuningRig {
    CurveRig() : TuningRig(ScenarioJson({kPascalCard})) {
        Board().fanRangeMin = 10;
        Board().fanRangeMax = 100;
    }
    void Heat(int32_t temperatureC) { Card().sensors.at(0).currentC = temperatureC; }
    // "auto" while the card drives the fan, else the level it holds.
    std::string Fan() {
        const auto& cooler = Tuning(0).coolers.at(0);
        if (cooler.policy != sim::kSimCoolerPolicyManual) return "auto";
        return std::to_string(cooler.currentLevel);
    }
    AppState state;
    FanCurveEngine engine{*table, state};
    Clock::time_point start = Clock::now();
};

TEST(FanCurveEngine, ARampUpAndDownGivesTheLevelsWorkedOutByHand) {
    CurveRig rig;
    FanCurve curve = FanCurve::Default();
    curve.autoBelow = true;
    rig.state.fanCurves[0] = curve;
    // The card's own fan at first; then the curve: up at once, down only 3 C below the
    // temperature that set the level and after 5 s there.
    struct Tick { int atS; int32_t temperatureC; const char* fan; const char* why; };
    const Tick ticks[] = {
        {0, 35, "auto", "below the first point: the card's own control"},
        {1, 45, "33", "rising: at once"},
        {2, 55, "43", "rising: at once"},
        {3, 53, "43", "within 3 C of 55"},
        {4, 52, "43", "3 C below: the spin-down delay starts"},
        {8, 51, "43", "4 s below"},
        {9, 51, "37", "5 s below: the level of 51 C"},
        {10, 49, "37", "within 3 C of 51"},
        {11, 53, "40", "rising again"},
        {12, 85, "100", "above the last point"},
        {13, 30, "100", "the delay starts"},
        {15, 84, "100", "back up: the delay is over"},
        {16, 30, "100", "the delay starts again"},
        {21, 30, "auto", "5 s below the first point: back to the card"},
        {22, 41, "31", "rising from the card's control"},
    };
    for (const Tick& tick : ticks) {
        rig.Heat(tick.temperatureC);
        EXPECT_TRUE(rig.engine.Tick(rig.start + std::chrono::seconds(tick.atS)).empty()) << tick.atS;
        EXPECT_EQ(rig.Fan(), tick.fan) << "at " << tick.atS << " s, " << tick.temperatureC << " C: " << tick.why;
    }
    EXPECT_EQ(rig.engine.Live(0)->temperatureC, 41);
    // A level below the fan's lowest is run at the lowest.
    rig.state.fanCurves[0] = ParseFanCurvePoints("40:2,80:100");
    rig.engine.Tick(rig.start + std::chrono::seconds(30));
    EXPECT_EQ(rig.Fan(), "10");
}

TEST(FanCurveEngine, ACurveThatCannotBeRunHandsItsFanBackAndEnds) {
    struct Case {
        const char* what;
        uint32_t unsupported;  // the operation the card stops answering after the first tick
        int ticksToStop;
        FanCurveStopReason reason;
        const char* said;
    };
    const Case cases[] = {
        {"the temperature is lost", NvOpId(NvOp::GetThermalSettings), 3, FanCurveStopReason::TemperatureLost,
         "could not be read 3 times in a row, so its fan curve stopped: the fan is back"},
        {"the card refuses the level", NvOpId(NvOp::SetCoolerLevels), 1, FanCurveStopReason::Refused,
         "fan curve stopped, because the card refused fan speed"},
    };
    for (const Case& c : cases) {
        CurveRig rig;
        rig.state.fanCurves[0] = ParseFanCurvePoints("40:30,80:100");
        rig.Heat(60);
        ASSERT_TRUE(rig.engine.Tick(rig.start).empty()) << c.what;
        ASSERT_EQ(rig.Fan(), "65") << c.what;
        rig.sim->SetUnsupported(c.unsupported);
        rig.Heat(70);  // a new level is due
        std::vector<FanCurveStop> stops;
        for (int i = 1; i <= c.ticksToStop && stops.empty(); ++i)
            stops = rig.engine.Tick(rig.start + std::chrono::seconds(i));
        ASSERT_EQ(stops.size(), 1u) << c.what;
        EXPECT_EQ(stops[0].reason, c.reason) << c.what;
        EXPECT_NE(DescribeCurveStop(stops[0]).find(c.said), std::string::npos) << DescribeCurveStop(stops[0]);
        EXPECT_EQ(rig.Fan(), "auto") << c.what;
        EXPECT_FALSE(rig.state.fanCurves[0]) << c.what << ": the curve must end";
        EXPECT_FALSE(rig.engine.Running()) << c.what;
    }
    // A fan another rule handed back (a reset, the thermal watch) ends its curve silently.
    CurveRig rig;
    rig.state.fanCurves[0] = ParseFanCurvePoints("40:30,80:100");
    rig.Heat(60);
    rig.engine.Tick(rig.start);
    (void)CardTuning(*rig.table, 0).HandBackFans();
    EXPECT_TRUE(rig.engine.Tick(rig.start + std::chrono::seconds(1)).empty());
    EXPECT_FALSE(rig.state.fanCurves[0]);
    EXPECT_EQ(rig.Fan(), "auto");
}

// The simulated workload that lets a curve and the graphs be watched without a card: the
// temperature climbs and falls over the period, the load in step.
TEST(FanCurveEngine, TheSimulatedHeatCycleWarmsAndCoolsTheGpu) {
    TuningRig rig(ScenarioJson({kPascalCard}));
    rig.Card().heatCycle = sim::SimHeatCycle{40, 78, 120};
    rig.Card().fullPowerDrawMilliwatts = 150000;
    // The draw: 30 % of the full draw idle, the rest with the load.
    const std::tuple<int, int, int, double> phases[] = {
        {0, 40, 0, 45.0}, {30, 59, 50, 97.5}, {60, 78, 100, 150.0}, {90, 59, 50, 97.5}, {120, 40, 0, 45.0}};
    for (const auto& [atS, temperatureC, loadPercent, watts] : phases) {
        rig.Card().startedAt = std::chrono::steady_clock::now() - std::chrono::seconds(atS);
        const CardSensors sensors(*rig.table, 0);
        EXPECT_NEAR(sensors.ReadGpuTemperatureC().value_or(-1), temperatureC, 1) << atS << " s";
        EXPECT_NEAR(sensors.ReadLoadPercent().value_or(-1), loadPercent, 1) << atS << " s";
        EXPECT_NEAR(sensors.ReadPowerDrawMilliwatts().value_or(0) / 1000.0, watts, 1.5) << atS << " s";
    }
}

TEST(FanCurveEngine, ACurveSurvivesSaveAndLoadAndARevertPutsTheOldOneBack) {
    TuningRig rig(ScenarioJson({kPascalCard, kVfCard}));
    CIniTestFolder folder;
    const auto file = folder.Path() / "Preformance.txt";
    AppState saved;
    saved.fanCurves[0] = ParseFanCurvePoints("30:20,55:45,90:100");
    saved.fanCurves[1] = FanCurve::Default();
    saved.fanCurves[1]->autoBelow = true;
    ASSERT_EQ(SaveTuningSettings(*rig.table, saved, file), 1);
    const std::string text = CIniText::ToUtf8(ComposeTuningSettings(*rig.table, saved).Text());
    EXPECT_NE(text.find("FanWorkMode=4\r\nFanCurve=30:20,55:45,90:100\r\n"), std::string::npos) << text;

    AppState loaded;
    loaded.fanCurves[0] = FanCurve::Default();  // replaced by the file's
    ASSERT_EQ(LoadTuningSettings(file, *rig.table, loaded), 1);
    EXPECT_EQ(loaded.fanCurves[0], saved.fanCurves[0]);
    EXPECT_EQ(loaded.fanCurves[1], saved.fanCurves[1]);

    // A curve the card cannot run is skipped with its reason; the rest of the file still loads.
    const auto badFile = folder.WriteText("bad.txt", u"[Gpu1]\r\nId=" + std::u16string(rig.Board(0).deviceIdText) +
                                                         u"\r\nFanWorkMode=4\r\nFanCurve=40:30,60:20\r\nDyaGpuClock=50\r\n");
    AppState bad;
    TuningReport report;
    ASSERT_EQ(LoadTuningSettings(badFile, *rig.table, bad, &report), 1);
    EXPECT_FALSE(bad.fanCurves[0]);
    ASSERT_EQ(report.Skipped().size(), 1u);
    EXPECT_NE(report.Skipped()[0].find("must not slow down"), std::string::npos) << report.Skipped()[0];
    EXPECT_EQ(rig.Tuning(0).graphics.deltaKHz, 50000);

    // The way back of an apply restarts the curve the GPU left.
    const TuningRevert before = TuningRevert::Capture(*rig.table, {0}, &loaded);
    loaded.fanCurves[0].reset();
    (void)before.Revert();
    EXPECT_EQ(loaded.fanCurves[0], saved.fanCurves[0]);
}

}  // namespace
}  // namespace pyx::test
