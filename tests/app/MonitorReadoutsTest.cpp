// The one-second readouts for each fan path, and what failures leave on the labels.
#include "app/MonitorReadouts.h"

#include <gtest/gtest.h>

#include "gpu/FanControl.h"
#include "gpu/NvApiIds.h"
#include "tests/app/TuningControllerTestRig.h"

namespace pyx::test {
namespace {

TEST(MonitorReadouts, ClocksTemperatureAndLoadOfTheGivenGpu) {
    TuningTestRig rig(ScenarioJson({PlainCard(), PlainCard()}));
    rig.Card(1).clockKHz[kClockTypeCurrent][kDomainGraphics] = 1392999;
    const MonitorReadings r = ReadMonitors(*rig.table, 0);
    EXPECT_TRUE(r.read);
    EXPECT_EQ(r.graphicsClockMHz, 1733u) << "1,733,500 kHz truncated";
    EXPECT_EQ(r.memoryClockMHz, 4006u);
    EXPECT_EQ(r.graphicsText, "1733");
    EXPECT_EQ(r.memoryText, "4006");
    EXPECT_EQ(r.temperatureC, 52);
    EXPECT_EQ(r.temperatureText, "52");
    ASSERT_TRUE(r.gpuLoad.has_value());
    EXPECT_EQ(*r.gpuLoad, 37);
    EXPECT_EQ(ReadMonitors(*rig.table, 1).graphicsText, "1392");
    EXPECT_TRUE(rig.Trace().empty()) << "readouts change nothing";
}

TEST(MonitorReadouts, AnIdleGpuCountsAsOnePercentAndAFailedLoadQueryLeavesTheLoadUnset) {
    TuningTestRig rig(ScenarioJson({PlainCard()}));
    rig.Card().utilizationPercent[0] = 0;
    const MonitorReadings idle = ReadMonitors(*rig.table, 0);
    EXPECT_EQ(idle.gpuLoad, 1) << "for the lighting's load colour";
    EXPECT_EQ(idle.loadPercent, 0) << "the readout shows the card's own figure";
    rig.sim->SetUnsupported(NvOpId(NvOp::GetDynamicPstatesInfoEx));
    const MonitorReadings unread = ReadMonitors(*rig.table, 0);
    EXPECT_FALSE(unread.gpuLoad.has_value());
    EXPECT_FALSE(unread.loadPercent.has_value());
}

TEST(MonitorReadouts, FailedClockAndTemperatureReadsShowZero) {
    TuningTestRig rig(ScenarioJson({PlainCard()}));
    rig.sim->SetUnsupported(NvOpId(NvOp::GetAllClockFrequencies));
    rig.Card().sensors[0].target = 2;  // no sensor on the GPU itself
    const MonitorReadings r = ReadMonitors(*rig.table, 0);
    EXPECT_EQ(r.graphicsText, "0");
    EXPECT_EQ(r.memoryText, "0");
    EXPECT_EQ(r.temperatureText, "0");
    rig.sim->SetUnsupported(NvOpId(NvOp::GetThermalSettings));
    EXPECT_EQ(ReadMonitors(*rig.table, 0).temperatureC, 0);
}

TEST(MonitorReadouts, LibraryFanShowsItsPercent) {
    TuningTestRig rig(ScenarioJson({PlainCard()}));
    const MonitorReadings r = ReadMonitors(*rig.table, 0);
    EXPECT_TRUE(r.hasFan);
    EXPECT_EQ(r.fanValue, 65);
    EXPECT_EQ(r.fanUnit, FanUnit::Percent);
    EXPECT_EQ(r.fanText, "65");
}

TEST(MonitorReadouts, FanCoolersShowTheFirstCoolersLevel) {
    TuningTestRig rig(ScenarioJson({VfCard()}));
    rig.Card().tuning.fanCoolers[1].manualLevel = 90;
    const MonitorReadings r = ReadMonitors(*rig.table, 0);
    EXPECT_EQ(r.fanText, "70");
    EXPECT_EQ(r.fanUnit, FanUnit::Percent);
}

TEST(MonitorReadouts, ATachometerFanShowsRpm) {
    std::string card = PlainCard();
    card.insert(card.rfind('}'), R"(, "i2c": [{"address": "0x5A", "model": "fan-chip-slot0"}])");
    TuningTestRig rig(ScenarioJson({card}));
    GpuBoard& board = rig.Board();
    board.fan.Select(FanPath::TachometerChip);
    board.i2cSlots[0].devAddress = 0x5A;
    board.fanRangeMin = 500;
    board.fanRangeMax = 3000;
    ASSERT_EQ(SetFanLevel(*rig.table, 0, 1000), kNvOk);
    const MonitorReadings r = ReadMonitors(*rig.table, 0);
    EXPECT_EQ(r.fanValue, 1000);
    EXPECT_EQ(r.fanUnit, FanUnit::Rpm);
    EXPECT_EQ(r.fanText, "1000");
}

TEST(MonitorReadouts, NoFanReadingLeavesAnEmptyFanText) {
    TuningTestRig rig(ScenarioJson({PlainCard()}));
    rig.Board().fan.Select(FanPath::PacedLibraryCooler);  // its duty chip does not answer: nothing to show
    rig.Board().i2cSlots[1].devAddress = 0x5C;
    const MonitorReadings r = ReadMonitors(*rig.table, 0);
    EXPECT_FALSE(r.hasFan);
    EXPECT_EQ(r.fanText, "");
    EXPECT_EQ(r.graphicsText, "1733") << "the other readouts still shown";
}

TEST(MonitorReadouts, AnIndexWithoutGpuReadsNothing) {
    TuningTestRig rig(ScenarioJson({PlainCard()}));
    for (const int gpu : {-1, 1, 5}) {
        const MonitorReadings r = ReadMonitors(*rig.table, gpu);
        EXPECT_FALSE(r.read);
        EXPECT_EQ(r.graphicsText, "");
        EXPECT_FALSE(r.gpuLoad.has_value());
    }
}

}  // namespace
}  // namespace pyx::test
