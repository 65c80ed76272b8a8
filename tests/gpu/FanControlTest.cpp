#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "gpu/FanControl.h"
#include "gpu/NvApiIds.h"
#include "sim/SimFanChipSlot0.h"
#include "sim/SimFanChipSlot1.h"
#include "tests/support/ScenarioJson.h"
#include "tests/support/SimWorld.h"

namespace pyx::test {
namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;
using RegWrite = std::pair<uint8_t, uint8_t>;

// Register writes the card's bus received for one device, in order (extended retries included).
std::vector<RegWrite> WritesTo(SimWorld& rig, uint8_t address) {
    std::vector<RegWrite> writes;
    for (const auto& r : rig.Card().bus.Log())
        if (r.devAddress == address && r.acknowledged && !r.data.empty() &&
            (r.kind == sim::SimI2cRecord::Kind::Write || r.kind == sim::SimI2cRecord::Kind::WriteEx))
            writes.emplace_back(r.reg, r.data[0]);
    return writes;
}

const std::string kLibraryCooler = R"({"coolers": [{"type": 1, "min": 0, "max": 100, "defaultLevel": 30}]})";
const std::string kSlot1Chip = R"([{"address": "0x5C", "model": "fan-chip-slot1", "dutyLimit": "0xE6"}])";
const std::string kSlot0Chip = R"([{"address": "0x5A", "model": "fan-chip-slot0", "sensorC": 44}])";

TEST(FanType0, SetTwiceThenReadModeAndLevelThenRestoreAnswersAsTheLibraryDid) {
    SimWorld rig(TuningCard(kLibraryCooler));
    EXPECT_EQ(SetFanLevel(*rig.table, 0, 60), kNvOk);
    EXPECT_EQ(rig.TraceOf("SetCoolerLevels"),
              (std::vector<std::string>{"SetCoolerLevels gpu=0 cooler=0 level=60 policy=1 status=0",
                                        "SetCoolerLevels gpu=0 cooler=0 level=60 policy=1 status=0"}));
    EXPECT_EQ(rig.Card().tuning.coolers[0].currentLevel, 60u);

    int32_t value = 0;
    EXPECT_EQ(GetFanMode(*rig.table, 0, &value), kNvOk);
    EXPECT_EQ(value, 2);
    EXPECT_EQ(rig.Board().fanLevelNv, 60);
    EXPECT_EQ(GetFanReading(*rig.table, 0, &value), kNvOk);
    EXPECT_EQ(value, 60);

    // The restore answers what the library answered: a refusal must not read as a success.
    rig.sim->SetUnsupported(NvOpId(NvOp::RestoreCoolerSettings));
    EXPECT_EQ(RestoreFanAuto(*rig.table, 0), kNvNotSupported);
    rig.sim->SetUnsupported(NvOpId(NvOp::RestoreCoolerSettings), false);
    EXPECT_EQ(RestoreFanAuto(*rig.table, 0), kNvOk);
    EXPECT_EQ(rig.TraceOf("RestoreCoolerSettings"),
              (std::vector<std::string>{"RestoreCoolerSettings gpu=0 cooler=0 status=-104",
                                        "RestoreCoolerSettings gpu=0 cooler=0 status=0"}));
    EXPECT_EQ(GetFanMode(*rig.table, 0, &value), kNvOk);
    EXPECT_EQ(value, 1);
    EXPECT_EQ(rig.Board().fanLevelNv, 30);

    // A cooler read that fails leaves no level behind: the last one is not current any more.
    rig.sim->SetUnsupported(NvOpId(NvOp::GetCoolerSettings));
    EXPECT_EQ(GetFanMode(*rig.table, 0, &value), kNvNotSupported);
    value = 99;
    EXPECT_EQ(GetFanReading(*rig.table, 0, &value), kNvFailed);
    EXPECT_EQ(value, 99);
}

TEST(FanType0, TheFirstFanAmongTheCoolersIsDrivenAndACardWithoutFanIsRefused) {
    SimWorld rig(TuningCard(R"({"coolers": [{"type": 2}, {"type": 1, "defaultLevel": 40}]})"));
    EXPECT_EQ(SetFanLevel(*rig.table, 0, 70), kNvOk);
    EXPECT_EQ(rig.Card().tuning.coolers[1].currentLevel, 70u);
    EXPECT_EQ(rig.TraceOf("SetCoolerLevels").front(), "SetCoolerLevels gpu=0 cooler=1 level=70 policy=1 status=0");

    SimWorld noFan(TuningCard(R"({"coolers": [{"type": 2}]})"));
    int32_t mode = 0;
    EXPECT_EQ(SetFanLevel(*noFan.table, 0, 70), kNvFailed);
    EXPECT_EQ(RestoreFanAuto(*noFan.table, 0), kNvFailed);
    EXPECT_EQ(GetFanMode(*noFan.table, 0, &mode), kNvFailed);
    EXPECT_EQ(noFan.Board().fanLevelNv, -1);
    EXPECT_TRUE(noFan.TraceOf("SetCoolerLevels").empty());

    noFan.sim->SetUnsupported(NvOpId(NvOp::GetCoolerSettings));
    EXPECT_EQ(SetFanLevel(*noFan.table, 0, 70), kNvNotSupported);
}

TEST(FanType1, TheLibrarySetsAndTheSlot1ChipReportsTheDuty) {
    SimWorld rig(TuningCard(kLibraryCooler, kSlot1Chip));
    rig.Board().fan.Select(FanPath::PacedLibraryCooler);
    rig.Board().i2cSlots[1].devAddress = 0x5C;
    EXPECT_EQ(SetFanLevel(*rig.table, 0, 80), kNvOk);
    EXPECT_EQ(rig.TraceOf("SetCoolerLevels").size(), 2u);
    int32_t value = 0;
    EXPECT_EQ(GetFanReading(*rig.table, 0, &value), kNvOk);
    EXPECT_EQ(value, 80);  // 204 of 255
    EXPECT_EQ(GetFanMode(*rig.table, 0, &value), kNvOk);
    EXPECT_EQ(value, 2);

    EXPECT_EQ(RestoreFanAuto(*rig.table, 0), kNvOk);
    EXPECT_EQ(GetFanReading(*rig.table, 0, &value), kNvOk);
    EXPECT_EQ(value, 30);  // 30 % is duty 76, read back as 76 * 100 / 255 = 29.8, to the nearest
    EXPECT_TRUE(WritesTo(rig, 0x5C).empty());  // the chip is only read on this path

    rig.Card().bus.Device(0x5C)->answering = false;
    EXPECT_EQ(GetFanReading(*rig.table, 0, &value), kNvFailed);
}

TEST(FanType2, SetWritesLimitModeAndDutyAndRestoreHandsTheChipBack) {
    SimWorld rig(TuningCard(kLibraryCooler, kSlot1Chip));
    rig.Board().fan.Select(FanPath::LibraryCoolerAndChip);
    rig.Board().i2cSlots[1].devAddress = 0x5C;
    rig.Board().fanChipLimit = 0xE6;

    EXPECT_EQ(SetFanLevel(*rig.table, 0, 100), kNvOk);
    EXPECT_EQ(rig.TraceOf("SetCoolerLevels").size(), 1u);
    // 100 / 0.39 = 256.4 is held at 255.
    EXPECT_EQ(WritesTo(rig, 0x5C), (std::vector<RegWrite>{{0x39, 0xFF}, {0x5D, 0xEA}, {0x31, 0xFF}}));
    int32_t value = 0;
    EXPECT_EQ(GetFanReading(*rig.table, 0, &value), kNvOk);
    EXPECT_EQ(value, 100);
    EXPECT_EQ(GetFanMode(*rig.table, 0, &value), kNvOk);
    EXPECT_EQ(value, 2);

    rig.Card().bus.ClearLog();
    EXPECT_EQ(RestoreFanAuto(*rig.table, 0), kNvOk);
    EXPECT_EQ(WritesTo(rig, 0x5C), (std::vector<RegWrite>{{0x39, 0xE6}, {0x5D, 0x0A}}));
    EXPECT_EQ(GetFanMode(*rig.table, 0, &value), kNvOk);
    EXPECT_EQ(value, 1);

    // Without a learned limit the limit register is left alone.
    rig.Board().fanChipLimit = -1;
    rig.Card().bus.ClearLog();
    EXPECT_EQ(SetFanLevel(*rig.table, 0, 50), kNvOk);
    EXPECT_EQ(WritesTo(rig, 0x5C), (std::vector<RegWrite>{{0x5D, 0xEA}, {0x31, 128}}));
    EXPECT_EQ(GetFanReading(*rig.table, 0, &value), kNvOk);
    EXPECT_EQ(value, 50);
}

TEST(FanType2, ASilentChipEndsTheSetAfterTheLibraryStep) {
    SimWorld rig(TuningCard(kLibraryCooler, kSlot1Chip));
    rig.Board().fan.Select(FanPath::LibraryCoolerAndChip);
    rig.Board().i2cSlots[1].devAddress = 0x5C;
    rig.Card().bus.Device(0x5C)->answering = false;
    EXPECT_EQ(SetFanLevel(*rig.table, 0, 40), kNvFailed);
    EXPECT_EQ(rig.Card().tuning.coolers[0].currentLevel, 40u);
    EXPECT_EQ(RestoreFanAuto(*rig.table, 0), kNvFailed);
    int32_t mode = 0;
    EXPECT_EQ(GetFanMode(*rig.table, 0, &mode), kNvFailed);
}

class FanType3 : public testing::Test {
protected:
    FanType3() : rig(TuningCard(kLibraryCooler, kSlot0Chip)) {
        GpuBoard& board = rig.Board();
        board.fan.Select(FanPath::TachometerChip);
        board.i2cSlots[0].devAddress = 0x5A;
        board.fanCurveHigh = 75;
        board.fanCurveLow = 50;
        board.fanRangeMax = 5500;
        board.fanRangeMid = 4125;
        board.fanRangeMin = 2805;
    }
    sim::SimFanChipSlot0& Chip() { return *rig.Card().bus.DeviceAs<sim::SimFanChipSlot0>(0x5A); }
    SimWorld rig;
};

TEST_F(FanType3, SetWritesTheCountAndManualModeAndReadsBackRpm) {
    EXPECT_EQ(SetFanLevel(*rig.table, 0, 1000), kNvOk);
    // 0x60 held 0x02 at power-up: bit 0x04 cleared, bit 0x01 set.
    EXPECT_EQ(WritesTo(rig, 0x5A), (std::vector<RegWrite>{{0x60, 0x03}, {0x74, 0x05}, {0x75, 0xDC}}));
    EXPECT_EQ(Chip().TargetCount(), 1500);
    int32_t value = 0;
    EXPECT_EQ(GetFanReading(*rig.table, 0, &value), kNvOk);
    EXPECT_EQ(value, 1000);  // count 0x05DC
    EXPECT_EQ(GetFanMode(*rig.table, 0, &value), kNvOk);
    EXPECT_EQ(value, 2);
}

TEST_F(FanType3, RestoreClearsManualModeAndWritesTheCurveInOrder) {
    ASSERT_EQ(SetFanLevel(*rig.table, 0, 3000), kNvOk);
    rig.Card().bus.ClearLog();
    EXPECT_EQ(RestoreFanAuto(*rig.table, 0), kNvOk);
    // Counts >> 4: 1,500,000 / 5500 = 272 -> 17, / 4125 = 363 -> 22, / 2805 = 534 -> 33.
    EXPECT_EQ(WritesTo(rig, 0x5A), (std::vector<RegWrite>{{0x60, 0x02},
                                                          {0xA0, 75},
                                                          {0xA1, 50},
                                                          {0xA2, 0},
                                                          {0xA3, 0},
                                                          {0xA4, 17},
                                                          {0xA5, 22},
                                                          {0xA6, 33},
                                                          {0xA7, 33},
                                                          {0xA8, 33}}));
    int32_t value = 0;
    EXPECT_EQ(GetFanMode(*rig.table, 0, &value), kNvOk);
    EXPECT_EQ(value, 1);
    // 44 degrees is below the curve's low point: the lowest speed, count 33 << 4.
    EXPECT_EQ(GetFanReading(*rig.table, 0, &value), kNvOk);
    EXPECT_EQ(value, 1500000 / (33 << 4));
}

TEST_F(FanType3, ZeroAndTooSlowRequestsAskForTheSlowestCountAndAStoppedFanReadsZero) {
    EXPECT_EQ(SetFanLevel(*rig.table, 0, 0), kNvOk);
    EXPECT_EQ(Chip().TargetCount(), 0xFFFF);
    EXPECT_EQ(SetFanLevel(*rig.table, 0, 10), kNvOk);  // 150,000 does not fit 16 bits
    EXPECT_EQ(Chip().TargetCount(), 0xFFFF);
    int32_t value = 0;
    EXPECT_EQ(GetFanReading(*rig.table, 0, &value), kNvOk);
    EXPECT_EQ(value, 22);

    Chip().SetStopped(true);
    value = -7;
    EXPECT_EQ(GetFanReading(*rig.table, 0, &value), kNvOk);
    EXPECT_EQ(value, 0);

    EXPECT_EQ(TachometerCountForRpm(23), 65217);
    EXPECT_EQ(TachometerCountForRpm(-5), 0xFFFF);
    EXPECT_EQ(TachometerCountForRpm(2000000), 1);
    EXPECT_EQ(RpmForTachometerCount(1), 1500000);
}

TEST_F(FanType3, AnUncalibratedRangeWritesTheSlowestCurveInsteadOfDividingByZero) {
    rig.Board().fanRangeMax = 0;
    rig.Board().fanRangeMid = 0;
    rig.Board().fanRangeMin = 100;  // 15000 >> 4 = 937 does not fit a byte
    EXPECT_EQ(RestoreFanAuto(*rig.table, 0), kNvOk);
    for (uint8_t reg = 0xA4; reg <= 0xA8; ++reg) EXPECT_EQ(Chip().Get(reg), 0xFF) << int(reg);
}

TEST_F(FanType3, ASilentChipEndsEveryPathWithItsStatus) {
    Chip().answering = false;
    int32_t value = 0;
    EXPECT_EQ(SetFanLevel(*rig.table, 0, 1000), kNvFailed);
    EXPECT_EQ(RestoreFanAuto(*rig.table, 0), kNvFailed);
    EXPECT_EQ(GetFanReading(*rig.table, 0, &value), kNvFailed);
    EXPECT_EQ(GetFanMode(*rig.table, 0, &value), kNvFailed);
    // Each transaction tried the primary call and the extended one.
    const auto log = rig.Card().bus.Log();
    ASSERT_EQ(log.size(), 8u);
    EXPECT_EQ(log[1].kind, sim::SimI2cRecord::Kind::ReadEx);
}

TEST_F(FanType3, ModeFollowsTheSlot0ChipOnlyWhileSlot3IsEmpty) {
    ASSERT_EQ(SetFanLevel(*rig.table, 0, 1000), kNvOk);
    rig.Board().i2cSlots[3].devAddress = 0x60;
    rig.Board().fan.Select(FanPath::LibraryCooler);
    int32_t mode = 0;
    EXPECT_EQ(GetFanMode(*rig.table, 0, &mode), kNvOk);
    EXPECT_EQ(mode, 1);  // the library cooler, still automatic
}

const std::string kFanCoolers =
    R"({"coolers": [], "fanCoolers": [{"id": 1, "maxRpm": 3000, "autoLevel": 35}, {"id": 2, "maxRpm": 3000}]})";

TEST(FanType4, TheLegacyPathsAnswerNotSupportedAndCoolersAreSetById) {
    SimWorld rig(TuningCard(kFanCoolers));
    EXPECT_EQ(ReadBoardCoolerSettings(*rig.table, 0), kNvOk);
    EXPECT_EQ(rig.Board().fan.Path(), FanPath::FanCoolers);
    int32_t value = 0;
    EXPECT_EQ(SetFanLevel(*rig.table, 0, 50), kNvNotSupported);
    EXPECT_EQ(RestoreFanAuto(*rig.table, 0), kNvNotSupported);
    EXPECT_EQ(GetFanReading(*rig.table, 0, &value), kNvNotSupported);
    EXPECT_EQ(GetFanMode(*rig.table, 0, &value), kNvFailed);

    CaptureStdout();
    EXPECT_EQ(SetFanCoolerLevel(*rig.table, 0, 55.7f, 2), kNvOk);
    EXPECT_EQ(SetFanCoolerLevel(*rig.table, 0, 40.0f, 3), kNvFailed);
    EXPECT_EQ(GetCapturedStdout(),
              "Requested feature applied successfully\n\nRequested fan cooler is not supported!\n");
    EXPECT_TRUE(rig.Card().tuning.fanCoolers[1].manual);
    EXPECT_EQ(rig.Card().tuning.fanCoolers[1].Level(), 55u);

    // Level 0 clears the manual flag: the cooler is automatic again.
    CaptureStdout();
    EXPECT_EQ(SetFanCoolerLevel(*rig.table, 0, 0.0f, 2), kNvOk);
    GetCapturedStdout();
    EXPECT_FALSE(rig.Card().tuning.fanCoolers[1].manual);
    EXPECT_EQ(rig.TraceOf("FanCoolersSetControl"),
              (std::vector<std::string>{"FanCoolersSetControl gpu=0 cooler=2 level=55 manual=1 status=0",
                                        "FanCoolersSetControl gpu=0 cooler=2 level=0 manual=0 status=0"}));

    rig.sim->SetUnsupported(NvOpId(NvOp::FanCoolersSetControl));
    CaptureStdout();
    EXPECT_EQ(SetFanCoolerLevel(*rig.table, 0, 20.0f, 1), kNvNotSupported);
    EXPECT_EQ(GetCapturedStdout(), "API call failed with error -104\n");
}

TEST(FanType4, QueryReportsSupportStatusAndLibraryErrors) {
    SimWorld rig(TuningCard(kFanCoolers));
    NvFanCoolersInfo info{};
    NvFanCoolersStatus status{};
    CaptureStdout();
    EXPECT_EQ(QueryFanCoolers(*rig.table, 0, &info, &status), 1);
    EXPECT_EQ(GetCapturedStdout(), "Fan cooler status:\n");
    EXPECT_EQ(info.count, 2);
    ASSERT_EQ(status.count, 2u);
    EXPECT_EQ(status.entries[0].coolerId, 1u);
    EXPECT_EQ(status.entries[0].currentLevel, 35u);
    EXPECT_EQ(status.entries[0].currentRpm, 1050u);

    rig.sim->SetUnsupported(NvOpId(NvOp::FanCoolersGetStatus));
    CaptureStdout();
    EXPECT_EQ(QueryFanCoolers(*rig.table, 0, nullptr, nullptr), -1);
    EXPECT_EQ(GetCapturedStdout(), "Fan cooler status:\nFanCoolersGetStatus API call failed with error -104\n");

    SimWorld legacy(TuningCard(kLibraryCooler));
    CaptureStdout();
    EXPECT_EQ(QueryFanCoolers(*legacy.table, 0, &info, &status), -1);
    EXPECT_EQ(GetCapturedStdout(), "FanCoolersGetInfo API call failed with error -104\n");
}

TEST(FanType4, WithoutTheInterfaceTheLegacyCoolerZeroIsSet) {
    SimWorld rig(TuningCard(kLibraryCooler));
    CaptureStdout();
    EXPECT_EQ(SetFanCoolerLevel(*rig.table, 0, 45.9f, 1), kNvOk);
    EXPECT_EQ(GetCapturedStdout(), "Cooling seetings applied\n");
    EXPECT_EQ(rig.Card().tuning.coolers[0].currentLevel, 45u);
    EXPECT_EQ(rig.TraceOf("SetCoolerLevels"),
              std::vector<std::string>{"SetCoolerLevels gpu=0 cooler=0 level=45 policy=1 status=0"});

    SimWorld none(TuningCard(R"({"coolers": []})"));
    CaptureStdout();
    EXPECT_EQ(SetFanCoolerLevel(*none.table, 0, 45.0f, 1), sim::kSimInvalidArgument);
    EXPECT_EQ(GetCapturedStdout(), "API call failed with error -5\n");
}

TEST(FanRange, ComesFromTheFirstFanInTheBoardsCoolerRecord) {
    SimWorld rig(TuningCard(R"({"coolers": [{"type": 2, "min": 5, "max": 6}, {"type": 1, "min": 25, "max": 90}]})"));
    uint32_t most = 0;
    uint32_t least = 0;
    EXPECT_EQ(GetFanRange(*rig.table, 0, &most, &least), kNvFailed);  // not read yet
    ASSERT_EQ(ReadBoardCoolerSettings(*rig.table, 0), kNvOk);
    EXPECT_EQ(rig.Board().fan.Path(), FanPath::LibraryCooler);
    EXPECT_EQ(GetFanRange(*rig.table, 0, &most, &least), kNvOk);
    EXPECT_EQ(most, 90u);
    EXPECT_EQ(least, 25u);
    EXPECT_EQ(GetFanRange(*rig.table, 0, nullptr, &least), kNvOk);

    rig.sim->SetUnsupported(NvOpId(NvOp::GetCoolerSettings));
    rig.Board().fan.Select(FanPath::PacedLibraryCooler);
    EXPECT_EQ(ReadBoardCoolerSettings(*rig.table, 0), kNvNotSupported);
    EXPECT_EQ(rig.Board().fan.Path(), FanPath::PacedLibraryCooler);
}

}  // namespace
}  // namespace pyx::test
