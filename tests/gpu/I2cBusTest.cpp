#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

#include <gtest/gtest.h>

#include "tests/support/ScenarioJson.h"
#include "tests/support/SimWorld.h"
#include "gpu/I2cBus.h"
#include "sim/SimLibrarySource.h"
#include "sim/SimRegisterFile.h"
#include "sim/SimScenario.h"

namespace pyx {
namespace {

using sim::SimI2cRecord;
using Kind = SimI2cRecord::Kind;

std::string AllDevices() {
    return R"([{"address": "0x5C"}, {"address": "0x60"}, {"address": "0x58"}, {"address": "0x00"}])";
}

TEST(BoardTable, KeepsAtMostFiveGpusAndGivesEachItsBusMutex) {
    test::SimWorld rig(test::CardsJson(7));
    EXPECT_EQ(rig.table->gpuCount, 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(rig.table->Board(i).gpuHandle, &rig.sim->Card(static_cast<size_t>(i)));
        EXPECT_NE(rig.table->Board(i).busMutex, nullptr);
    }
    EXPECT_EQ(rig.table->Board(0).i2cSlots[2].portByte, 3);
    EXPECT_EQ(rig.table->Board(0).i2cSlots[6].portByte, 0);
    EXPECT_EQ(rig.table->Board(0).fanChipLimit, -1);
    uint32_t device = 0, subsystem = 0;
    EXPECT_EQ(rig.table->ReadPciIdentifiers(1, &device, &subsystem), kNvOk);
    EXPECT_EQ(std::u16string(rig.table->Board(1).deviceIdText), u"1b81");
    EXPECT_EQ(subsystem, 0x11223344u);
}

TEST(BoardTable, NoCardMeansEnumerationFails) {
    std::string error;
    auto library = sim::SimScenario::FromText(R"({"cards": []})", "test", error);
    ASSERT_NE(library, nullptr) << error;
    NvApiLibrary nv(std::make_unique<sim::SimLibrarySource>(std::move(library)));
    ASSERT_EQ(nv.Initialize(), kNvOk);
    GpuBoardTable table(nv);
    EXPECT_NE(table.EnumerateBoards(), kNvOk);
    EXPECT_EQ(table.gpuCount, 0);
}

TEST(I2cBus, EachOperationSendsTheRequestOfItsRow) {
    test::SimWorld rig(test::CardsJson(1, AllDevices()));
    GpuBoardTable& t = *rig.table;
    t.Board(0).i2cSlots[1].devAddress = 0x5C;
    t.Board(0).i2cSlots[6].devAddress = 0x60;
    uint8_t reg = 0x14, data = 0xAB;

    ASSERT_EQ(WriteSlotRegister(t, 0, &reg, &data, 1), kNvOk);
    ASSERT_EQ(ReadSlotRegister(t, 0, &reg, &data, 1), kNvOk);
    EXPECT_EQ(data, 0xAB) << "the byte written comes back";
    ASSERT_EQ(WriteSlot6Register(t, 0, &reg, &data), kNvOk);
    t.Board(0).family = BoardFamily::B;
    ASSERT_EQ(ReadSlot6Register(t, 0, &reg, &data), kNvOk);
    ASSERT_EQ(ReadLedRegister(t, 0, 0x58, &reg, &data), kNvOk);
    uint8_t burst[3] = {1, 2, 3};
    ASSERT_EQ(WriteLedRegister(t, 0, 0x58, &reg, burst, 3), kNvOk);

    const auto log = rig.sim->Card(0).bus.Log();
    ASSERT_EQ(log.size(), 6u);
    struct Expect { Kind kind; uint32_t version; uint8_t port; uint8_t addr; uint32_t len, speed; uint8_t portId; uint32_t portIdSet; };
    const Expect expected[] = {
        {Kind::Write, kI2cRequestV1Tag, 2, 0x5C, 1, 30, 0, 0},
        {Kind::Read, kI2cRequestV1Tag, 2, 0x5C, 1, 30, 0, 0},
        {Kind::Write, kI2cRequestV1Tag, 0, 0x60, 1, 100, 0, 0},  // version 1 carries no port id
        {Kind::Read, kI2cRequestV3Tag, 0, 0x60, 1, 100, 1, 1},   // family B: version 3, port 1
        {Kind::Read, kI2cRequestV3Tag, 2, 0x58, 1, 100, 1, 1},
        {Kind::Write, kI2cRequestV3Tag, 2, 0x58, 3, 100, 1, 1},
    };
    for (size_t i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(log[i].kind, expected[i].kind);
        EXPECT_EQ(log[i].version, expected[i].version);
        EXPECT_EQ(log[i].displayMask, 1u);
        EXPECT_EQ(log[i].ddcPortByte, expected[i].port);
        EXPECT_EQ(log[i].devAddress, expected[i].addr);
        EXPECT_EQ(log[i].reg, 0x14);
        EXPECT_EQ(log[i].length, expected[i].len);
        EXPECT_EQ(log[i].i2cSpeed, expected[i].speed);
        EXPECT_EQ(log[i].i2cSpeedKhz, 0u);
        EXPECT_EQ(log[i].portId, expected[i].portId);
        EXPECT_EQ(log[i].portIdSet, expected[i].portIdSet);
    }
    EXPECT_EQ(log[5].data, (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(rig.sim->Card(0).bus.DeviceAs<sim::SimRegisterFile>(0x58)->Get(0x16), 3)
        << "a burst fills the following registers";
}

TEST(I2cBus, Slot6RequestVersionFollowsTheBoardFamily) {
    test::SimWorld rig(test::CardsJson(1, AllDevices()));
    GpuBoardTable& t = *rig.table;
    t.Board(0).i2cSlots[6].devAddress = 0x60;
    t.Board(0).family = BoardFamily::D;
    uint8_t reg = 0, data = 0;
    ASSERT_EQ(ReadSlot6Register(t, 0, &reg, &data), kNvOk);
    t.Board(0).family = BoardFamily::C;
    ASSERT_EQ(ReadSlot6Register(t, 0, &reg, &data), kNvOk);
    const auto log = rig.sim->Card(0).bus.Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].version, kI2cRequestV1Tag);
    EXPECT_EQ(log[0].i2cSpeed, 100u);
    EXPECT_EQ(log[1].version, kI2cRequestV3Tag);
    EXPECT_EQ(log[1].portId, 1);
}

TEST(I2cBus, FailedPrimaryCallIsRetriedOnceThroughTheExtendedForm) {
    test::SimWorld rig(test::CardsJson(1, AllDevices()));
    GpuBoardTable& t = *rig.table;
    t.Board(0).i2cSlots[1].devAddress = 0x5C;
    rig.sim->failPrimaryI2c = true;
    uint8_t reg = 1, data = 7;
    EXPECT_EQ(WriteSlotRegister(t, 0, &reg, &data, 1), kNvOk);
    EXPECT_EQ(WriteLedRegister(t, 0, 0x58, &reg, &data, 1), kNvOk);
    EXPECT_EQ(ReadLedRegister(t, 0, 0x58, &reg, &data), kNvOk);
    auto log = rig.sim->Card(0).bus.Log();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].kind, Kind::WriteEx);
    EXPECT_EQ(log[0].displayMask, 0u) << "slot operations retry with displayMask 0";
    EXPECT_EQ(log[1].kind, Kind::WriteEx);
    EXPECT_EQ(log[1].displayMask, 1u) << "lighting operations keep displayMask 1";
    EXPECT_EQ(log[2].kind, Kind::ReadEx);
    EXPECT_EQ(log[2].displayMask, 1u);

    // A device that is not fitted: the primary call fails, the one retry fails, and its
    // status is final.
    rig.sim->failPrimaryI2c = false;
    rig.sim->Card(0).bus.ClearLog();
    EXPECT_EQ(ReadLedRegister(t, 0, 0x46, &reg, &data), kNvFailed);
    log = rig.sim->Card(0).bus.Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].kind, Kind::Read);
    EXPECT_EQ(log[1].kind, Kind::ReadEx);
}

TEST(I2cBus, EdgeRequestsArePassedAsTheyAre) {
    test::SimWorld rig(test::CardsJson(1, AllDevices()));
    GpuBoardTable& t = *rig.table;
    uint8_t reg = 3, data = 9;
    // Slot 3 was never found: its address 0 is still sent.
    EXPECT_EQ(WriteSlotRegister(t, 0, &reg, &data, 3), kNvOk);
    EXPECT_EQ(WriteLedRegister(t, 0, 0x58, &reg, &data, 0), kNvOk);
    const auto log = rig.sim->Card(0).bus.Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].devAddress, 0x00);
    EXPECT_EQ(log[1].length, 0u);
    // Out-of-range GPU or slot: nothing is sent.
    EXPECT_EQ(WriteSlotRegister(t, 1, &reg, &data, 0), kNvFailed);
    EXPECT_EQ(WriteSlotRegister(t, 0, &reg, &data, 15), kNvFailed);
    EXPECT_EQ(rig.sim->Card(0).bus.Log().size(), 2u);
}

TEST(I2cBus, HeldBusMutexGivesMinus1AfterTwoSecondsWithNothingSent) {
    test::SimWorld rig(test::CardsJson(1, AllDevices()));
    GpuBoardTable& t = *rig.table;
    std::timed_mutex& busMutex = *t.Board(0).busMutex;
    std::atomic<bool> held{false}, release{false};
    std::thread holder([&] {
        busMutex.lock();
        held = true;
        while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        busMutex.unlock();
    });
    while (!held) std::this_thread::yield();
    uint8_t reg = 0, data = 0;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadLedRegister(t, 0, 0x58, &reg, &data), kNvFailed);
    const auto waited = std::chrono::steady_clock::now() - start;
    release = true;
    holder.join();
    EXPECT_GE(waited, std::chrono::milliseconds(1990));
    EXPECT_LT(waited, std::chrono::milliseconds(4000));
    EXPECT_TRUE(rig.sim->Card(0).bus.Log().empty());
}

TEST(I2cBus, TraceWritesOneLinePerTransactionInTheDocumentedFormat) {
    test::SimWorld rig(test::CardsJson(2, AllDevices()));
    GpuBoardTable& t = *rig.table;
    uint8_t reg = 0x02;
    uint8_t colour[3] = {0xFF, 0x00, 0x10};
    EXPECT_EQ(WriteLedRegister(t, 1, 0x58, &reg, colour, 3), kNvOk);
    uint8_t data = 0;
    EXPECT_EQ(ReadLedRegister(t, 1, 0x58, &reg, &data), kNvOk);
    EXPECT_EQ(ReadLedRegister(t, 0, 0x46, &reg, &data), kNvFailed);  // nothing at 0x46
    const std::vector<std::string> lines = rig.TraceLog().RawLines();
    ASSERT_EQ(lines.size(), 4u);
    const std::regex time("^t=[0-9]+ ");
    const char* rest[] = {
        "I2CWrite gpu=1 port=2 addr=0x58 reg=0x02 data=ff0010 status=0",
        "I2CRead gpu=1 port=2 addr=0x58 reg=0x02 data=ff status=0",
        "I2CRead gpu=0 port=2 addr=0x46 reg=0x02 data= status=-1",
        "I2CReadEx gpu=0 port=2 addr=0x46 reg=0x02 data= status=-1",
    };
    for (size_t i = 0; i < lines.size(); ++i) {
        std::smatch m;
        ASSERT_TRUE(std::regex_search(lines[i], m, time)) << lines[i];
        EXPECT_EQ(lines[i].substr(static_cast<size_t>(m.length())), rest[i]);
    }
}

}  // namespace
}  // namespace pyx
