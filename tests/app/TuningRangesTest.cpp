// Slider ranges and values read from a card, for start-up, GPU selection and the tool.
#include "app/TuningRanges.h"

#include <gtest/gtest.h>

#include "gpu/NvApiIds.h"
#include "tests/app/TuningControllerTestRig.h"

namespace pyx::test {
namespace {

void ExpectSlider(const TuningSlider& s, int32_t min, int32_t max, int32_t pos, const char* what) {
    EXPECT_EQ(s.min, min) << what;
    EXPECT_EQ(s.max, max) << what;
    EXPECT_EQ(s.pos, pos) << what;
}

TEST(TuningRanges, APstateCardShowsItsOffsetsPowerAndFan) {
    TuningTestRig rig(ScenarioJson({PlainCard()}));
    TuningPage page;
    ReadSliderRanges(*rig.table, 0, page);
    ExpectSlider(page.gpuClock, -200, 200, 120, "graphics");
    ExpectSlider(page.memClock, -500, 1000, 350, "memory: 350.5 MHz truncated");
    ExpectSlider(page.gpuVf, 0, 0, 0, "no VF domain");
    ExpectSlider(page.memVf, 0, 0, 0, "no VF domain");
    ExpectSlider(page.power, 50, 116, 112, "power");
    EXPECT_TRUE(page.power.enabled);
    EXPECT_EQ(page.maxPowerPercent, 116);
    ExpectSlider(page.fan, 0, 100, 65, "fan");
    EXPECT_TRUE(page.fan.enabled);
    EXPECT_EQ(page.lastFanLevel, 65);
    EXPECT_TRUE(rig.Trace().empty()) << "reading ranges changes nothing";
}

TEST(TuningRanges, TheGraphicsVfRangeIsHalvedAndTheCardsClockOffsetsAreShown) {
    TuningTestRig rig(ScenarioJson({VfCard()}));
    TuningPage page;
    page.fan = TuningSlider{33, 0, 100, true};
    ReadSliderRanges(*rig.table, 0, page);
    // Custom sends the VF sliders' values as P-state offsets too, so they offer nothing beyond
    // the P-state ranges (-200..200, -500..1000) of the halved and the whole domain ranges, and
    // show the P-state offsets the card holds (not the first VF points' +10 and +300 MHz, which
    // an unchanged Apply would have written over them).
    ExpectSlider(page.gpuVf, -200, 200, 40, "graphics VF");
    ExpectSlider(page.memVf, -500, 1000, 150, "memory VF");
    EXPECT_FALSE(page.fan.enabled) << "fan type 4";
    EXPECT_EQ(page.fan.pos, 33) << "left as it was";

    // A domain narrower than the P-state range keeps its own, halved.
    rig.Card().tuning.clockDomains[0].offsetMaxKHz = 100000;
    rig.Card().tuning.clockDomains[0].offsetMinKHz = -60000;
    ReadSliderRanges(*rig.table, 0, page);
    ExpectSlider(page.gpuVf, -30, 50, 40, "graphics VF");
}

TEST(TuningRanges, ValuesOutsideTheReportedRangeAreShownClamped) {
    TuningTestRig rig(ScenarioJson({PlainCard(), VfCard()}));
    rig.Card(0).tuning.graphics.deltaKHz = 250000;
    rig.Card(0).tuning.memory.deltaKHz = -900000;
    rig.Card(0).tuning.power.currentPcm = 130000;
    rig.Board(0).fanRangeMax = 60;
    rig.Card(1).tuning.memory.deltaKHz = 2000000;
    TuningPage page;
    ReadSliderRanges(*rig.table, 0, page);
    EXPECT_EQ(page.gpuClock.pos, 200);
    EXPECT_EQ(page.memClock.pos, -500);
    EXPECT_EQ(page.power.pos, 116);
    EXPECT_EQ(page.fan.pos, 60);
    EXPECT_EQ(page.lastFanLevel, 60);
    ReadSliderRanges(*rig.table, 1, page);
    EXPECT_EQ(page.memVf.pos, 1000);
}

TEST(TuningRanges, FailedReadsLeaveZeroRangesAndADisabledPowerSlider) {
    TuningTestRig rig(ScenarioJson({PlainCard()}));
    rig.sim->SetUnsupported(NvOpId(NvOp::GetPstates20));
    rig.sim->SetUnsupported(NvOpId(NvOp::PowerPoliciesGetInfo));
    TuningPage page;
    page.power = TuningSlider{90, 50, 120, true};
    ReadSliderRanges(*rig.table, 0, page);
    ExpectSlider(page.gpuClock, 0, 0, 0, "graphics");
    ExpectSlider(page.memClock, 0, 0, 0, "memory");
    EXPECT_FALSE(page.power.enabled);
    EXPECT_EQ(page.power.pos, 112) << "the current power still read, within the old range";

    // A policy without a usable range leaves the slider disabled too.
    TuningTestRig flat(ScenarioJson({PlainCard()}));
    flat.Card().tuning.power.minPcm = flat.Card().tuning.power.maxPcm = 100000;
    TuningPage flatPage;
    ReadSliderRanges(*flat.table, 0, flatPage);
    EXPECT_FALSE(flatPage.power.enabled);
}

TEST(TuningRanges, AFailedFanReadingKeepsTheValueWithinTheBoardsRange) {
    TuningTestRig rig(ScenarioJson({PlainCard()}));
    TuningPage page;
    page.fan.pos = 1234;
    rig.Board().fan.Select(FanPath::PacedLibraryCooler);  // the duty chip is absent: its reading fails
    rig.Board().fanRangeMin = 1000;
    rig.Board().fanRangeMax = 2000;
    ReadSliderRanges(*rig.table, 0, page);
    ExpectSlider(page.fan, 1000, 2000, 1234, "reading failed");
    EXPECT_EQ(page.lastFanLevel, 10) << "untouched";
}

TEST(TuningRanges, AnIndexWithoutGpuChangesNothing) {
    TuningTestRig rig(ScenarioJson({PlainCard()}));
    TuningPage page;
    page.gpuClock = TuningSlider{7, -10, 10, true};
    ReadSliderRanges(*rig.table, 3, page);
    ReadSliderRanges(*rig.table, -1, page);
    ExpectSlider(page.gpuClock, -10, 10, 7, "unchanged");
}

TEST(TuningRanges, SliderClampTakesTheMaximumFirstThenTheMinimum) {
    TuningSlider s{50, 10, 20, true};
    s.Clamp();
    EXPECT_EQ(s.pos, 20);
    s.SetClamped(-5);
    EXPECT_EQ(s.pos, 10);
    // An inverted range shows its minimum.
    TuningSlider inverted{0, 30, 20, true};
    inverted.Clamp();
    EXPECT_EQ(inverted.pos, 30);
    EXPECT_FALSE(inverted.HasRange());
}

}  // namespace
}  // namespace pyx::test
