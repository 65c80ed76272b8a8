#include <chrono>
#include <fstream>
#include <functional>
#include <sstream>
#include <memory>

#include <gtest/gtest.h>

#include "tests/support/ScenarioJson.h"
#include "tests/support/FakeProcessLauncher.h"
#include "tests/support/TempFolder.h"
#include "gpu/HardwareStartup.h"
#include "gpu/I2cBus.h"
#include "sim/SimLibrarySource.h"
#include "sim/SimRegisterFile.h"
#include "sim/SimScenario.h"

namespace pyx {
namespace {

using namespace std::chrono_literals;
using test::CardJson;
using test::ScenarioJson;

// A library that has not been initialised yet, as the program finds it at start.
struct StartRig {
    explicit StartRig(const std::string& json, const std::function<void(sim::SimLibrary&)>& tweak = {}) {
        std::string error;
        auto library = sim::SimScenario::FromText(json, "test", error);
        EXPECT_NE(library, nullptr) << error;
        if (!library) return;
        launcher.startsSucceed = false;
        if (tweak) tweak(*library);
        sim = library.get();
        nv = std::make_unique<NvApiLibrary>(std::make_unique<sim::SimLibrarySource>(std::move(library)));
        table = std::make_unique<GpuBoardTable>(*nv);
        BiosReaderOptions options;
        options.folder = folder.Path();
        options.readTimeout = 200ms;
        options.pollInterval = 20ms;
        thread = std::make_unique<HardwareThread>(&launcher, options);
    }
    ~StartRig() { thread.reset(); }
    int Start(const OsVersionQuery& os = [] { return std::optional<OsVersion>(); }) {
        return StartHardware(*table, *thread, os);
    }
    GpuBoard& Board(int gpu) { return table->Board(gpu); }
    template <typename T>
    T* Chip(size_t card, uint8_t address) { return sim->Card(card).bus.DeviceAs<T>(address); }

    test::TempFolder folder;
    FakeProcessLauncher launcher;
    sim::SimLibrary* sim = nullptr;
    std::unique_ptr<NvApiLibrary> nv;
    std::unique_ptr<GpuBoardTable> table;
    std::unique_ptr<HardwareThread> thread;
};

TEST(StartHardware, FailsWhenTheLibraryOrTheBoardsCannotBeReached) {
    StartRig noInit(ScenarioJson({CardJson(0x1b81)}), [](sim::SimLibrary& l) { l.initializeStatus = -1; });
    EXPECT_EQ(noInit.Start(), kStartHardwareFailed);
    EXPECT_FALSE(noInit.thread->Started());

    StartRig noCards(ScenarioJson({}));
    EXPECT_EQ(noCards.Start(), kStartHardwareFailed);
    EXPECT_FALSE(noCards.thread->Started());
}

TEST(StartHardware, FailsWhenItsBackgroundThreadCannotBeStarted) {
    StartRig rig(ScenarioJson({CardJson(0x1c03)}));
    // A thread object runs once: started already (here on a table without boards), it cannot
    // start for this one.
    GpuBoardTable empty(*rig.nv);
    ASSERT_TRUE(rig.thread->Start(empty));
    EXPECT_EQ(rig.Start(), kStartHardwareNoThread);
    EXPECT_TRUE(rig.Board(0).busMutex) << "the boards are probed and stay usable";
}

TEST(StartHardware, AFailedPerfLevelCheckLeavesTheBusesClosed) {
    StartRig rig(ScenarioJson({CardJson(0x1b81, 0x11223344, R"([{"address": "0x10"}])"),
                               CardJson(0x1b81, 0x11223344, "[]", R"("perfLevels": [])")}));
    EXPECT_EQ(rig.Start(), kStartHardwareFailed);
    EXPECT_EQ(rig.table->gpuCount, 2) << "the boards stay enumerated";
    EXPECT_FALSE(rig.thread->Started());
    EXPECT_EQ(rig.Board(0).busMutex, nullptr);
    uint8_t reg = 0x62, data = 0;
    rig.Board(0).i2cSlots[5].devAddress = 0x10;
    EXPECT_EQ(ReadSlotRegister(*rig.table, 0, &reg, &data, 5), kNvFailed);
    EXPECT_TRUE(rig.sim->Card(0).bus.Log().empty()) << "nothing reached the bus";
}

TEST(StartHardware, RefusesWindowsBefore51) {
    EXPECT_TRUE(IsOsTooOld({4, 10}));
    EXPECT_TRUE(IsOsTooOld({5, 0}));
    EXPECT_FALSE(IsOsTooOld({5, 1}));
    EXPECT_FALSE(IsOsTooOld({6, 0}));

    StartRig old(ScenarioJson({CardJson(0x1b81)}));
    EXPECT_EQ(old.Start([] { return std::optional<OsVersion>(OsVersion{5, 0}); }), kStartHardwareOldWindows);
    EXPECT_FALSE(old.thread->Started());
    EXPECT_EQ(old.Board(0).busMutex, nullptr);

    StartRig xp(ScenarioJson({CardJson(0x1b81)}));
    EXPECT_EQ(xp.Start([] { return std::optional<OsVersion>(OsVersion{5, 1}); }), kStartHardwareOk);
}

TEST(StartHardware, IdentifiesProbesAndStartsTheThread) {
    StartRig rig(ScenarioJson(
        {CardJson(0x1b82, 0xA0141462, R"([{"address": "0x10"}])",
                  R"("tuning": {"coolers": [{"type": 1, "min": 20, "max": 95}]})"),
         CardJson(0x1180, 0x11223344, R"([{"address": "0x5C", "registers": {"0x3D": "0x73", "0x3E": "0x41"}},
                                          {"address": "0x60"}])",
                  R"("tuning": {"coolers": [{"type": 1, "min": 25, "max": 90}]})")}));
    ASSERT_EQ(rig.Start(), kStartHardwareOk);
    EXPECT_TRUE(rig.thread->Started());
    ASSERT_TRUE(rig.thread->WaitFinished(5s));
    EXPECT_TRUE(rig.launcher.started.empty()) << "two boards: no BIOS read";

    const GpuBoard& a = rig.Board(0);
    EXPECT_EQ(a.family, BoardFamily::D);
    EXPECT_EQ(a.isSubsysA014, 1u);
    EXPECT_EQ(a.hasGraphicsClock, 1u);
    EXPECT_EQ(a.hasMemoryClock, 1u);
    EXPECT_EQ(a.i2cSlots[5].devAddress, 0x10);
    EXPECT_EQ(a.fan.Path(), FanPath::LibraryCooler);
    EXPECT_EQ(a.fanRangeMax, 95u) << "taken from the library cooler";
    EXPECT_EQ(a.fanRangeMin, 20u);

    const GpuBoard& b = rig.Board(1);
    EXPECT_EQ(b.family, BoardFamily::A);
    EXPECT_EQ(b.i2cSlots[1].devAddress, 0x5C);
    EXPECT_EQ(b.i2cSlots[6].devAddress, 0x60);
    EXPECT_EQ(b.fan.Path(), FanPath::PacedLibraryCooler);
    EXPECT_EQ(b.fanRangeMax, 100u) << "the slot-1 chip's range is a percentage";
    EXPECT_EQ(b.fanRangeMin, 25u);
    EXPECT_EQ(rig.Chip<sim::SimRegisterFile>(1, 0x5C)->Get(0x38), 0xFF) << "the thread asked for the limit";
    EXPECT_EQ(b.fanChipLimit, 0xFF);
}

TEST(StartHardware, LeavesTheSlot0ChipsFanToTheChipAndSwitchesCoolerlessBoardsToFanCoolers) {
    StartRig rig(ScenarioJson(
        {CardJson(0x1b80, 0x11223344, R"([{"address": "0x5C", "registers": {"0x04": "0x5C", "0x60": "0x07"}}])"),
         CardJson(0x1b80, 0x11223344, "[]", R"("tuning": {"coolers": [], "fanCoolers": [{"id": 1}, {"id": 2}]})")}));
    ASSERT_EQ(rig.Start(), kStartHardwareOk);
    EXPECT_EQ(rig.Board(0).fan.Path(), FanPath::TachometerChip);
    EXPECT_EQ(rig.Chip<sim::SimRegisterFile>(0, 0x5C)->Get(0x60), 0x05) << "bit 0x02 cleared";
    EXPECT_EQ(rig.Board(1).fan.Path(), FanPath::FanCoolers);
    EXPECT_EQ(rig.Board(1).hasFanCoolersApi, 1u);
    EXPECT_EQ(rig.Board(0).hasFanCoolersApi, 0u);
}

TEST(StartHardware, OneBoardGetsItsBiosRead) {
    StartRig rig(ScenarioJson({CardJson(0x1c03, 0x11223344, R"([{"address": "0x5C", "registers": {"0x3D": "0x73", "0x3E": "0x41"}}])")}));
    rig.launcher.onStart = [&rig](const ProcessRequest&) {
        std::vector<uint8_t> bios(1600, ' ');
        const std::string tag = "VGA BIOS RC0001-F";
        std::copy(tag.begin(), tag.end(), bios.begin() + 64);
        rig.folder.Write(kBiosDumpFile, bios);
        return true;
    };
    ASSERT_EQ(rig.Start(), kStartHardwareOk);
    ASSERT_TRUE(rig.thread->WaitFinished(5s));
    EXPECT_EQ(rig.launcher.started.size(), 1u);
    EXPECT_EQ(rig.Board(0).fan.Path(), FanPath::LibraryCoolerAndChip);
    EXPECT_EQ(rig.Chip<sim::SimRegisterFile>(0, 0x5C)->Get(0x39), 0xFF) << "type 2 learns its limit at 0x39";
}

TEST(StartHardware, SixCardsAreCutToFive) {
    std::vector<std::string> cards(6, CardJson(0x1c82));
    StartRig rig(ScenarioJson(cards));
    ASSERT_EQ(rig.Start(), kStartHardwareOk);
    EXPECT_EQ(rig.table->gpuCount, 5);
    for (int gpu = 0; gpu < 5; ++gpu) EXPECT_EQ(rig.Board(gpu).family, BoardFamily::D) << gpu;
    EXPECT_TRUE(rig.sim->Card(5).bus.Log().empty()) << "the sixth card is never probed";
}

std::string ScenarioFile(const std::string& name) {
    std::ifstream in(std::string(PYX_SIM_SCENARIO_DIR) + "/" + name);
    std::ostringstream text;
    text << in.rdbuf();
    EXPECT_FALSE(text.str().empty()) << name;
    return text.str();
}

TEST(StartHardware, IdentifiesTheScenarioBoards) {
    const struct {
        const char* file;
        BoardFamily family;
        uint32_t boost;
        uint8_t slot6;
    } cases[] = {{"family-a.json", BoardFamily::A, 1, 0x60},
                 {"family-b.json", BoardFamily::B, 0, 0},
                 {"family-c.json", BoardFamily::C, 1, 0x60},
                 {"family-d.json", BoardFamily::D, 1, 0}};
    for (const auto& c : cases) {
        StartRig rig(ScenarioFile(c.file));
        ASSERT_EQ(rig.Start(), kStartHardwareOk) << c.file;
        const GpuBoard& board = rig.Board(0);
        EXPECT_EQ(board.family, c.family) << c.file;
        EXPECT_EQ(board.hasBoostClock, c.boost) << c.file;
        EXPECT_EQ(board.hasGraphicsClock, 1u) << c.file;
        EXPECT_EQ(board.i2cSlots[6].devAddress, c.slot6) << c.file;
        EXPECT_EQ(board.fan.Path(), FanPath::LibraryCooler) << c.file;
    }

    StartRig two(ScenarioFile("two-cards.json"));
    ASSERT_EQ(two.Start(), kStartHardwareOk);
    ASSERT_TRUE(two.thread->WaitFinished(5s));
    EXPECT_EQ(two.table->gpuCount, 2);
    EXPECT_TRUE(two.launcher.started.empty());

    StartRig six(ScenarioFile("six-cards.json"));
    ASSERT_EQ(six.Start(), kStartHardwareOk);
    EXPECT_EQ(six.table->gpuCount, 5);
}

}  // namespace
}  // namespace pyx
