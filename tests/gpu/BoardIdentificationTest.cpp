#include <set>

#include <gtest/gtest.h>

#include "tests/support/ScenarioJson.h"
#include "tests/support/SimWorld.h"
#include "gpu/BoardIdentification.h"
#include "gpu/NvApiIds.h"

namespace pyx {
namespace {

using test::CardJson;
using test::ScenarioJson;

BoardFamily Identify(uint32_t deviceId) {
    test::SimWorld rig(ScenarioJson({CardJson(deviceId)}));
    EXPECT_EQ(IdentifyBoard(*rig.table, 0), kNvOk);
    return rig.table->Board(0).family;
}

TEST(DeviceIdLists, HoldTheKnownBoardsWithoutRepeats) {
    EXPECT_EQ(SupportedDeviceIds().size(), 49u);
    EXPECT_EQ(std::set<uint16_t>(SupportedDeviceIds().begin(), SupportedDeviceIds().end()).size(), 49u);
    // Every family member is a supported board.
    for (auto list : {FamilyADeviceIds(), FamilyBDeviceIds(), FamilyCDeviceIds(), FamilyDDeviceIds()})
        for (uint16_t id : list) EXPECT_TRUE(DeviceInList(SupportedDeviceIds(), id)) << std::hex << id;
    EXPECT_EQ(FamilyADeviceIds().size() + FamilyBDeviceIds().size() + FamilyCDeviceIds().size() +
                  FamilyDDeviceIds().size(),
              33u);
    EXPECT_FALSE(DeviceInList(SupportedDeviceIds(), 0));
}

TEST(BoardIdentification, EachFamilyMemberGetsItsFamily) {
    const struct {
        std::span<const uint16_t> list;
        BoardFamily expected;
    } families[] = {{FamilyADeviceIds(), BoardFamily::A},
                    {FamilyBDeviceIds(), BoardFamily::B},
                    {FamilyCDeviceIds(), BoardFamily::C},
                    {FamilyDDeviceIds(), BoardFamily::D}};
    for (const auto& family : families)
        for (uint16_t id : family.list) EXPECT_EQ(Identify(id), family.expected) << std::hex << id;
}

TEST(BoardIdentification, OtherBoardsGetNoFamily) {
    for (uint32_t id : {0x6cdu, 0x1080u, 0xde0u, 0xe22u, 0xdc4u, 0x2204u /* not supported */})
        EXPECT_EQ(Identify(id), BoardFamily::None) << std::hex << id;
}

TEST(BoardIdentification, FillsTheDeviceTextAndBoostClock) {
    test::SimWorld rig(ScenarioJson(
        {CardJson(0x1c03, 0x11223344, "[]", R"("clocks": {"boost": {"graphics": 1708000}})"),
         CardJson(0x1c03, 0x11223344, "[]", R"("clocks": {"base": {"graphics": 1506000}})")}));
    GpuBoardTable& t = *rig.table;
    t.Board(0).family = BoardFamily::A;  // a stale family from an earlier run is replaced
    ASSERT_EQ(IdentifyBoard(t, 0), kNvOk);
    ASSERT_EQ(IdentifyBoard(t, 1), kNvOk);
    EXPECT_EQ(std::u16string(t.Board(0).deviceIdText), u"1c03");
    EXPECT_EQ(BoardDeviceId(t.Board(0)), 0x1c03u);
    EXPECT_EQ(t.Board(0).family, BoardFamily::D);
    EXPECT_EQ(t.Board(0).hasBoostClock, 1u);
    EXPECT_EQ(t.Board(1).hasBoostClock, 0u) << "no boost clock reported";
}

TEST(BoardIdentification, AFailedIdentifierReadLeavesTheBoardAlone) {
    test::SimWorld rig(ScenarioJson({CardJson(0x1b81)}));
    rig.sim->SetUnsupported(NvOpId(NvOp::GetPCIIdentifiers));
    GpuBoard& board = rig.table->Board(0);
    board.family = BoardFamily::D;
    EXPECT_EQ(IdentifyBoard(*rig.table, 0), kNvNotSupported);
    EXPECT_EQ(board.family, BoardFamily::D);
    EXPECT_EQ(BoardDeviceId(board), 0u) << "no id, so no probe list can match";
}

TEST(BoardIdentification, SubsystemA014IsMatchedByDivisionNotShift) {
    EXPECT_TRUE(IsSubsysA014(0x1b82, 0xA0141462));
    EXPECT_FALSE(IsSubsysA014(0x1b81, 0xA0141462)) << "only one device id carries the check";
    // The quotient carries over once the low half reaches 0x5FEB ...
    EXPECT_TRUE(IsSubsysA014(0x1b82, 0xA0145FEA));
    EXPECT_FALSE(IsSubsysA014(0x1b82, 0xA0145FEB));
    // ... and the top of the previous block already divides to 0xA014.
    EXPECT_TRUE(IsSubsysA014(0x1b82, 0xA013FFFF));
    EXPECT_TRUE(IsSubsysA014(0x1b82, 0xA0135FEC));
    EXPECT_FALSE(IsSubsysA014(0x1b82, 0xA0135FEB));

    test::SimWorld rig(ScenarioJson({CardJson(0x1b82, 0xA0141462), CardJson(0x1b82, 0xA0151462)}));
    ASSERT_EQ(IdentifyBoard(*rig.table, 0), kNvOk);
    ASSERT_EQ(IdentifyBoard(*rig.table, 1), kNvOk);
    EXPECT_EQ(rig.table->Board(0).isSubsysA014, 1u);
    EXPECT_EQ(rig.table->Board(1).isSubsysA014, 0u);
    EXPECT_EQ(rig.table->Board(0).family, BoardFamily::D);
}

NvStatus CheckLevels(const std::string& perfLevels, GpuBoard* out = nullptr) {
    test::SimWorld rig(ScenarioJson({CardJson(0x1b81, 0x11223344, "[]", "\"perfLevels\": " + perfLevels)}));
    const NvStatus status = CheckPerfLevels(*rig.table, 0);
    if (out) {
        out->hasGraphicsClock = rig.table->Board(0).hasGraphicsClock;
        out->hasMemoryClock = rig.table->Board(0).hasMemoryClock;
    }
    return status;
}

TEST(PerfLevelCheck, SetsTheClocksOfTheLevelsThatCount) {
    GpuBoard board;
    EXPECT_EQ(CheckLevels(R"([{"flags": 0, "domains": [{"domain": "graphics", "clockKHz": 1506000},
                                                       {"domain": "memory", "clockKHz": 4006000}]}])",
                          &board),
              kNvOk);
    EXPECT_EQ(board.hasGraphicsClock, 1u);
    EXPECT_EQ(board.hasMemoryClock, 1u);

    // A memory entry needs both clock values.
    EXPECT_EQ(CheckLevels(R"([{"flags": 1, "domains": [{"domain": "memory", "clockKHz": 4006000, "clock2KHz": 0}]}])",
                          &board),
              kNvOk);
    EXPECT_EQ(board.hasGraphicsClock, 0u);
    EXPECT_EQ(board.hasMemoryClock, 0u);

    // A level that does not count adds nothing, even beside one that does.
    EXPECT_EQ(CheckLevels(R"([{"flags": 8, "domains": [{"domain": "graphics", "clockKHz": 1}]},
                              {"flags": 6, "domains": [{"domain": "memory", "clockKHz": 5}]}])",
                          &board),
              kNvOk);
    EXPECT_EQ(board.hasGraphicsClock, 0u);
    EXPECT_EQ(board.hasMemoryClock, 1u);
}

TEST(PerfLevelCheck, FailsWithoutALevelThatCounts) {
    EXPECT_NE(CheckLevels("[]"), kNvOk);
    EXPECT_NE(CheckLevels(R"([{"flags": 8}, {"flags": 9}, {"flags": 16}])"), kNvOk);
    EXPECT_EQ(CheckLevels(R"([{"flags": 10}])"), kNvOk) << "bit 0x2 counts whatever else is set";
    EXPECT_EQ(CheckLevels(R"([{"flags": 12}])"), kNvOk) << "bit 0x4 counts whatever else is set";

    test::SimWorld rig(ScenarioJson({CardJson(0x1b81)}));
    rig.sim->SetUnsupported(NvOpId(NvOp::GetPerfLevels));
    EXPECT_EQ(CheckPerfLevels(*rig.table, 0), kNvNotSupported);
}

}  // namespace
}  // namespace pyx
