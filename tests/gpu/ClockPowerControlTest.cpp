#include <gtest/gtest.h>

#include "gpu/ClockControl.h"
#include "gpu/NvApiIds.h"
#include "gpu/PowerControl.h"
#include "tests/support/ScenarioJson.h"
#include "tests/support/SimWorld.h"

namespace pyx::test {
namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

const std::string kCard = TuningCard(R"({"graphicsDelta": {"minKHz": -200000, "maxKHz": 200000},
    "memoryDelta": {"minKHz": -500000, "maxKHz": 1000000}, "pstatesReadFailures": 0,
    "power": {"minPcm": 50000, "defaultPcm": 100000, "maxPcm": 120000}})");

TEST(ClockOffsets, GraphicsAndMemoryReachTheCardAsP0DeltasAndMoveItsClocks) {
    SimWorld rig(kCard);
    CaptureStdout();
    EXPECT_EQ(SetGraphicsClockOffset(*rig.table, 0, 100000), kNvOk);
    EXPECT_EQ(SetMemoryClockOffset(*rig.table, 0, -250000), kNvOk);
    EXPECT_EQ(GetCapturedStdout(), "GRAPHIC CLK change call succeeded\nMEMORY CLK change call succeeded\n");

    EXPECT_EQ(rig.Card().tuning.graphics.deltaKHz, 100000);
    EXPECT_EQ(rig.Card().tuning.memory.deltaKHz, -250000);
    EXPECT_EQ(rig.Card().clockKHz[kClockTypeBoost][kDomainGraphics], 1783000u);
    EXPECT_EQ(rig.Card().clockKHz[kClockTypeBase][kDomainMemory], 3756000u);
    EXPECT_EQ(rig.TraceOf("SetPstates20"),
              (std::vector<std::string>{"SetPstates20 gpu=0 pstate=0 domain=0 deltaKHz=100000 status=0",
                                        "SetPstates20 gpu=0 pstate=0 domain=4 deltaKHz=-250000 status=0"}));

    // Back to zero: the card's clocks return to what they were.
    CaptureStdout();
    EXPECT_EQ(SetGraphicsClockOffset(*rig.table, 0, 0), kNvOk);
    GetCapturedStdout();
    EXPECT_EQ(rig.Card().clockKHz[kClockTypeBoost][kDomainGraphics], 1683000u);

    NvPstates20 record{};
    ASSERT_EQ(GetPstates20(*rig.table, 0, &record), kNvOk);
    EXPECT_EQ(record.version, kPstates20GetTag);
    EXPECT_EQ(record.pstates[0].clocks[1].domainId, kDomainMemory);
    EXPECT_EQ(record.pstates[0].clocks[1].freqDelta_kHz.value, -250000);
    EXPECT_EQ(record.pstates[0].clocks[1].freqDelta_kHz.minValue, -500000);
    EXPECT_EQ(record.pstates[0].clocks[1].freqDelta_kHz.maxValue, 1000000);
}

TEST(ClockOffsets, RefusalsPrintTheLibraryStatusAndChangeNothing) {
    SimWorld rig(kCard);
    CaptureStdout();
    EXPECT_EQ(SetGraphicsClockOffset(*rig.table, 0, 300000), sim::kSimInvalidArgument);  // beyond +200 MHz
    rig.sim->SetUnsupported(NvOpId(NvOp::SetPstates20));
    EXPECT_EQ(SetMemoryClockOffset(*rig.table, 0, 1000), kNvNotSupported);
    // A driver without the operation: the layer finds no entry point.
    SimWorld older(kCard);
    older.sim->SetUnknownId(NvOpId(NvOp::SetPstates20));
    EXPECT_EQ(SetGraphicsClockOffset(*older.table, 0, 1000), kNvNoInterface);
    EXPECT_EQ(GetCapturedStdout(),
              "API call failed with error -5\nAPI call failed with error -104\nAPI call failed with error -3\n");
    EXPECT_EQ(older.Card().tuning.graphics.deltaKHz, 0);
    EXPECT_EQ(rig.Card().tuning.graphics.deltaKHz, 0);
    EXPECT_EQ(rig.Card().tuning.memory.deltaKHz, 0);
    EXPECT_EQ(SetGraphicsClockOffset(*rig.table, 3, 1000), kNvFailed);  // no such GPU
}

TEST(Pstates20, AFailedReadIsMadeOnceMoreAndOnlyOnce) {
    SimWorld rig(kCard);
    rig.Card().tuning.pstatesReadFailures = 1;
    NvPstates20 record{};
    EXPECT_EQ(GetPstates20(*rig.table, 0, &record), kNvOk);
    EXPECT_EQ(record.numPstates, 1u);
    EXPECT_EQ(record.pstates[0].clocks[0].data[0], 1506000u);

    rig.Card().tuning.pstatesReadFailures = 3;
    EXPECT_EQ(GetPstates20(*rig.table, 0, &record), kNvFailed);
    // Two attempts used two of the three failures; the next read succeeds at its retry.
    EXPECT_EQ(rig.Card().tuning.pstatesReadFailures, 1);
    EXPECT_EQ(GetPstates20(*rig.table, 0, &record), kNvOk);
}

TEST(PowerTarget, InfoKeepsTheDefaultPowerWordAndStatusRoundTrips) {
    SimWorld rig(kCard);
    NvPowerPoliciesInfo info{};
    ASSERT_EQ(GetPowerPolicyInfo(*rig.table, 0, &info), kNvOk);
    EXPECT_EQ(info.entries[0].minPowerPcm, 50000u);
    EXPECT_EQ(info.entries[0].maxPowerPcm, 120000u);
    EXPECT_EQ(rig.Board().powerPolicyInfoWord, 100000u);

    NvPowerPoliciesStatus status{};
    status.count = 1;
    status.entries[0].powerPcm = 90000;
    ASSERT_EQ(SetPowerPolicyStatus(*rig.table, 0, &status), kNvOk);  // the tag is set here
    EXPECT_EQ(rig.Card().tuning.power.currentPcm, 90000u);
    EXPECT_EQ(rig.TraceOf("PowerPoliciesSetStatus"),
              std::vector<std::string>{"PowerPoliciesSetStatus gpu=0 power=90000 status=0"});

    NvPowerPoliciesStatus readBack{};
    // The caller owns the tag of a status read.
    EXPECT_EQ(GetPowerPolicyStatus(*rig.table, 0, &readBack), sim::kSimIncompatibleVersion);
    readBack.version = kPowerPoliciesStatusTag;
    ASSERT_EQ(GetPowerPolicyStatus(*rig.table, 0, &readBack), kNvOk);
    EXPECT_EQ(readBack.entries[0].powerPcm, 90000u);

    status.entries[0].powerPcm = 130000;  // above the maximum
    EXPECT_EQ(SetPowerPolicyStatus(*rig.table, 0, &status), sim::kSimInvalidArgument);
    EXPECT_EQ(rig.Card().tuning.power.currentPcm, 90000u);
}

TEST(PowerTarget, AFailedInfoReadLeavesTheWordAlone) {
    SimWorld rig(kCard);
    rig.Board().powerPolicyInfoWord = 7;
    rig.sim->SetUnsupported(NvOpId(NvOp::PowerPoliciesGetInfo));
    NvPowerPoliciesInfo info{};
    EXPECT_EQ(GetPowerPolicyInfo(*rig.table, 0, &info), kNvNotSupported);
    EXPECT_EQ(rig.Board().powerPolicyInfoWord, 7u);
}

}  // namespace
}  // namespace pyx::test
