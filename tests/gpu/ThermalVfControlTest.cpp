#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "gpu/NvApiIds.h"
#include "gpu/ThermalControl.h"
#include "gpu/VfControl.h"
#include "tests/support/ScenarioJson.h"
#include "tests/support/SimWorld.h"

namespace pyx::test {
namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

const std::string kThermal = TuningCard(R"({"thermal": {"policies": [
    {"id": 0, "minC": 60, "defaultC": 83, "maxC": 92, "acoustic": false},
    {"id": 1, "minC": 65, "defaultC": 83, "maxC": 88}]}})");

TEST(ThermalLimit, TheMaximumItselfIsAppliedAndOneStepAboveIsSilentlyRefused) {
    SimWorld rig(kThermal);
    EXPECT_EQ(SetThermalLimit(*rig.table, 0, 88.0f), kNvOk);
    EXPECT_EQ(rig.Card().tuning.thermalPolicies[1].currentLimit, 88 * 256);
    EXPECT_EQ(rig.TraceOf("ThermalPoliciesSetStatus"),
              std::vector<std::string>{"ThermalPoliciesSetStatus gpu=0 policy=1 limit=22528 status=0"});

    EXPECT_EQ(SetThermalLimit(*rig.table, 0, 88.0f + 1.0f / 256.0f), kNvOk);
    EXPECT_EQ(SetThermalLimit(*rig.table, 0, 64.99f), kNvOk);
    EXPECT_EQ(SetThermalLimit(*rig.table, 0, std::nanf("")), kNvOk);
    EXPECT_EQ(SetThermalLimit(*rig.table, 0, 1e30f), kNvOk);
    EXPECT_EQ(rig.TraceOf("ThermalPoliciesSetStatus").size(), 1u);
    EXPECT_EQ(rig.Card().tuning.thermalPolicies[1].currentLimit, 88 * 256);

    // Truncated toward zero in 1/256 degrees.
    EXPECT_EQ(SetThermalLimit(*rig.table, 0, 70.999f), kNvOk);
    EXPECT_EQ(rig.Card().tuning.thermalPolicies[1].currentLimit, 18175);
    EXPECT_EQ(rig.Card().tuning.thermalPolicies[0].currentLimit, 83 * 256);  // the other policy untouched
}

TEST(ThermalLimit, UnsupportedOrMissingPoliciesChangeNothingAndFailuresAreReturned) {
    SimWorld unsupported(TuningCard(R"({"thermal": {"supported": false}})"));
    EXPECT_EQ(SetThermalLimit(*unsupported.table, 0, 80.0f), kNvOk);
    NvThermalPoliciesInfo info{};
    info.count = 99;
    NvThermalPoliciesStatus status{};
    EXPECT_EQ(ReadThermalPolicies(*unsupported.table, 0, &info, &status), kNvOk);
    EXPECT_EQ(info.count, 99);  // outputs untouched

    SimWorld noAcoustic(TuningCard(R"({"thermal": {"policies": [{"id": 0}]}})"));
    EXPECT_EQ(SetThermalLimit(*noAcoustic.table, 0, 80.0f), kNvOk);
    EXPECT_TRUE(noAcoustic.TraceOf("ThermalPoliciesSetStatus").empty());

    SimWorld rig(kThermal);
    rig.sim->SetUnsupported(NvOpId(NvOp::ThermalPoliciesSetStatus));
    EXPECT_EQ(SetThermalLimit(*rig.table, 0, 80.0f), kNvNotSupported);
    rig.sim->SetUnsupported(NvOpId(NvOp::ThermalPoliciesGetInfo));
    EXPECT_EQ(SetThermalLimit(*rig.table, 0, 80.0f), kNvNotSupported);
    EXPECT_EQ(ReadThermalPolicies(*rig.table, 0, &info, &status), kNvNotSupported);
}

TEST(ThermalPolicies, ReadCopiesInformationAndStatusOfTheSamePolicies) {
    SimWorld rig(kThermal);
    ASSERT_EQ(SetThermalLimit(*rig.table, 0, 75.5f), kNvOk);
    NvThermalPoliciesInfo info{};
    NvThermalPoliciesStatus status{};
    ASSERT_EQ(ReadThermalPolicies(*rig.table, 0, &info, &status), kNvOk);
    EXPECT_EQ(info.count, 2);
    EXPECT_EQ(info.entries[1].maxLimit, 88 * 256);
    ASSERT_EQ(status.count, 2u);
    EXPECT_EQ(status.entries[0].policyId, 0u);
    EXPECT_EQ(status.entries[1].policyId, 1u);
    EXPECT_EQ(status.entries[1].limit, static_cast<int32_t>(75.5 * 256));

    // A failed status read leaves both outputs as they were.
    rig.sim->SetUnsupported(NvOpId(NvOp::ThermalPoliciesGetStatus));
    NvThermalPoliciesInfo info2{};
    EXPECT_EQ(ReadThermalPolicies(*rig.table, 0, &info2, nullptr), kNvNotSupported);
    EXPECT_EQ(info2.count, 0);
}

TEST(OverVoltage, PrintsAndKeepsThePercentage) {
    SimWorld rig(TuningCard(R"({"overVoltagePercent": 7})"));
    CaptureStdout();
    EXPECT_EQ(ReadOverVoltage(*rig.table, 0), kNvOk);
    EXPECT_EQ(GetCapturedStdout(), "Over-voltage info:\n  Percentage OV                         = 7\n");
    EXPECT_EQ(rig.table->percentOv, 7);

    rig.sim->SetUnsupported(NvOpId(NvOp::VoltRailsGetControl));
    CaptureStdout();
    EXPECT_EQ(ReadOverVoltage(*rig.table, 0), kNvNotSupported);
    EXPECT_EQ(GetCapturedStdout(), "Over-voltage info:\ngetPercentOV API call failed with error -104\n");
    EXPECT_EQ(rig.table->percentOv, 7);
}

const std::string kDomains = TuningCard(R"({"clockDomains": [
    {"type": "prog", "domain": "graphics", "offsetMaxKHz": 200000, "offsetMinKHz": -100000, "firstVf": 0, "lastVf": 1},
    {"type": "prog", "domain": "memory", "offsetMaxKHz": 1000000, "offsetMinKHz": -500000, "firstVf": 3, "lastVf": 2},
    {"type": "fixed", "domain": "processor"}],
  "vfPoints": [{"first": 0, "last": 1, "type": "prog", "offsetKHz": 15000},
               {"first": 2, "type": "fixed", "voltageBased": false}]})");

TEST(ClockDomains, ListingIsExactAndRangesComeFromTheProgrammableDomains) {
    SimWorld rig(kDomains);
    ClockDomainRanges ranges;
    ranges.memoryFirstVf = 9;
    CaptureStdout();
    ASSERT_EQ(ReadClockDomains(*rig.table, 0, &ranges), kNvOk);
    std::string expected =
        "CLIENT_CLK INFO:\n"
        ".domain[0]\n\t.type=PROG\n\t.domainId=GRAPHICS CLOCK\n\t.prog\n"
        "\t\t.freqOffsetMaxkHz=200000\n\t\t.freqOffsetMinkHz=-100000\n"
        "\t\t.vfPointxIdFirst=0\n\t\t.vfPointIdxLast=1\n"
        ".domain[1]\n\t.type=PROG\n\t.domainId=MEMORY CLOCK\n\t.prog\n"
        "\t\t.freqOffsetMaxkHz=1000000\n\t\t.freqOffsetMinkHz=-500000\n"
        "\t\t.vfPointxIdFirst=3\n\t\t.vfPointIdxLast=2\n"
        ".domain[2]\n\t.type=FIXED\n\t.domainId=PROCESSOR CLOCK\n"
        "\n\n"
        "-------------------- CLIENT_CLK_VF_POINTS ----------------------------\n"
        ".vfPointMask.super\n"
        "\t.pData[0]=0x00000007\n";
    for (int w = 1; w < 8; ++w) expected += "\t.pData[" + std::to_string(w) + "]=0x00000000\n";
    expected +=
        ".vfPoint[0]\n\t.type=PROG\n\t.bVoltageBased=1\n"
        ".vfPoint[1]\n\t.type=PROG\n\t.bVoltageBased=1\n"
        ".vfPoint[2]\n\t.type=FIXED\n\t.bVoltageBased=0\n";
    EXPECT_EQ(GetCapturedStdout(), expected);
    EXPECT_EQ(ranges.graphicsOffsetMaxKHz, 200000);
    EXPECT_EQ(ranges.graphicsOffsetMinKHz, -100000);
    EXPECT_EQ(ranges.graphicsLastVf, 1);
    EXPECT_EQ(ranges.memoryOffsetMinKHz, -500000);
    EXPECT_EQ(ranges.memoryFirstVf, 3);
    EXPECT_EQ(rig.table->clkDomainInfo.domainMask, 0x7u);
    EXPECT_EQ(rig.table->vfPoints.mask[0], 0x7u);
}

TEST(ClockDomains, FailuresNameTheFailingReadAndEndTheListing) {
    SimWorld rig(kDomains);
    rig.sim->SetUnsupported(NvOpId(NvOp::ClkVfPointsGetInfo));
    CaptureStdout();
    EXPECT_EQ(ReadClockDomains(*rig.table, 0), kNvNotSupported);
    EXPECT_EQ(GetCapturedStdout(),
              "NvAPI_GPU_ClockClientClkVfPointsGetInfo API call failed with error -104\n"
              "Could not query CLIENT_CLK_INFO - failed with error -104\n");
    rig.sim->SetUnsupported(NvOpId(NvOp::ClkDomainsGetInfo));
    CaptureStdout();
    EXPECT_EQ(ReadVfPointOffsets(*rig.table, 0), kNvNotSupported);
    EXPECT_EQ(GetCapturedStdout(),
              "NvAPI_GPU_ClockClientClkDomainsGetInfo API call failed with error -104\n"
              "Could not query CLIENT_CLK_INFO - failed with error -104\n");
    EXPECT_EQ(rig.table->clkDomainInfo.domainMask, 0u);
}

TEST(VfOffsets, ListingByDomainSkipsAnInvertedSpanAndKeepsTheLastPointOfEachDomain) {
    SimWorld rig(kDomains);
    VfOffsetReadings readings;
    readings.memVfOffset = 123;
    CaptureStdout();
    ASSERT_EQ(ReadVfPointOffsets(*rig.table, 0, &readings), kNvOk);
    EXPECT_EQ(GetCapturedStdout(),
              "CLIENT_CLK CONTROL:\n"
              "-------------------- CLIENT_CLK_VF_POINTS (By Domain) -------------------------\n"
              "GRAPHICS CLOCK\n"
              "vfPoints[0]\n\t.prog\n\t\t.freqOffsetkHz=15000\n"
              "vfPoints[1]\n\t.prog\n\t\t.freqOffsetkHz=15000\n"
              "\n\n"
              "MEMORY CLOCK\n\n\n"
              "PROCESSOR CLOCK\n\n\n");
    EXPECT_EQ(readings.pointOffsetKHz[1], 15000);
    EXPECT_EQ(readings.gpuVfOffset, 15000);
    EXPECT_EQ(readings.memVfOffset, 123);  // no memory point listed

    rig.sim->SetUnsupported(NvOpId(NvOp::ClkVfPointsGetControl));
    CaptureStdout();
    EXPECT_EQ(ReadVfPointOffsets(*rig.table, 0, &readings), kNvNotSupported);
    EXPECT_EQ(GetCapturedStdout(), "NvAPI_GPU_ClockClientClkVfPointsGetControl API call failed with error -104\n");
}

TEST(VfOffsets, Point255IsListedButNotKept) {
    SimWorld rig(TuningCard(R"({"clockDomains": [
        {"type": "prog", "domain": "graphics", "offsetMaxKHz": 100000, "offsetMinKHz": -100000, "firstVf": 253, "lastVf": 255}],
      "vfPoints": [{"first": 253, "last": 255, "type": "prog", "offsetKHz": -5000}]})"));
    VfOffsetReadings readings;
    CaptureStdout();
    ASSERT_EQ(ReadVfPointOffsets(*rig.table, 0, &readings), kNvOk);
    const std::string listing = GetCapturedStdout();
    EXPECT_NE(listing.find("vfPoints[254]\n\t.prog\n\t\t.freqOffsetkHz=-5000\nvfPoints[255]\n\n\n"), std::string::npos)
        << listing;
    EXPECT_EQ(readings.pointOffsetKHz[254], -5000);
    EXPECT_EQ(readings.gpuVfOffset, -5000);

    CaptureStdout();
    ASSERT_EQ(ReadClockDomains(*rig.table, 0), kNvOk);
    const std::string domains = GetCapturedStdout();
    EXPECT_NE(domains.find("\t.pData[7]=0xe0000000\n"), std::string::npos) << domains;
    EXPECT_NE(domains.find(".vfPoint[254]\n"), std::string::npos);
    EXPECT_EQ(domains.find(".vfPoint[255]"), std::string::npos);
}

TEST(VfOffsets, SetChangesOnlyTheProgrammablePointNamed) {
    SimWorld rig(kDomains);
    CaptureStdout();
    EXPECT_EQ(SetVfPointOffset(*rig.table, 0, 1, -30000), kNvOk);
    EXPECT_EQ(SetVfPointOffset(*rig.table, 0, 2, 1000), kNvNotSupported);    // fixed
    EXPECT_EQ(SetVfPointOffset(*rig.table, 0, 40, 1000), kNvNotSupported);   // not on this card
    EXPECT_EQ(SetVfPointOffset(*rig.table, 0, 255, 1000), kNvNotSupported);  // past the records
    EXPECT_EQ(SetVfPointOffset(*rig.table, 0, 0, 250000), sim::kSimInvalidArgument);  // beyond the domain
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(rig.TraceOf("ClkVfPointsSetControl"),
              (std::vector<std::string>{"ClkVfPointsSetControl gpu=0 point=1 offsetKHz=-30000 status=0",
                                        "ClkVfPointsSetControl gpu=0 point=0 offsetKHz=250000 status=-5"}));
    EXPECT_EQ(rig.Card().tuning.vfPoints[1].offsetKHz, -30000);
    EXPECT_EQ(rig.Card().tuning.vfPoints[0].offsetKHz, 15000);

    VfOffsetReadings readings;
    CaptureStdout();
    ASSERT_EQ(ReadVfPointOffsets(*rig.table, 0, &readings), kNvOk);
    GetCapturedStdout();
    EXPECT_EQ(readings.pointOffsetKHz[0], 15000);
    EXPECT_EQ(readings.gpuVfOffset, -30000);  // the last graphics point listed wins
}

}  // namespace
}  // namespace pyx::test
