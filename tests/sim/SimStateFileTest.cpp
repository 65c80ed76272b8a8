#include <filesystem>
#include <functional>
#include <fstream>
#include <set>
#include <sstream>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "gpu/ClockControl.h"
#include "gpu/GpuBoardTable.h"
#include "gpu/I2cBus.h"
#include "gpu/NvApiLibrary.h"
#include "gpu/PowerControl.h"
#include "sim/SimFanChipSlot1.h"
#include "sim/SimLedZoneController.h"
#include "sim/SimLibrarySource.h"
#include "sim/SimScenario.h"
#include "sim/SimStateFile.h"
#include "tests/support/FileText.h"
#include "tests/support/TempFolder.h"

namespace pyx::sim {
namespace {

namespace fs = std::filesystem;

const char* kZoneScenario = R"({"name": "zone", "cards": [
    {"deviceId": "0x1B8110DE", "subSystemId": "0xA0141B4C",
     "clocks": {"current": {"graphics": 1506000}, "boost": {"graphics": 1683000}},
     "i2c": [{"address": "0x58", "model": "led-zone"}, {"address": "0x5C", "model": "fan-chip-slot1"}]},
    {"deviceId": "0x1E8710DE", "subSystemId": "0x37553842"}]})";

std::unique_ptr<SimLibrary> ZoneCards() {
    std::string error;
    auto library = SimScenario::FromText(kZoneScenario, "zone.json", error);
    if (!library) ADD_FAILURE() << error;
    return library;
}


// One run of a program on the simulated cards, through the library layer as every caller.
struct ProgramRun {
    explicit ProgramRun(std::unique_ptr<SimLibrary> cards) : sim(cards.get()) {
        nv = std::make_unique<NvApiLibrary>(std::make_unique<SimLibrarySource>(std::move(cards)));
        EXPECT_EQ(nv->Initialize(), kNvOk);
        table = std::make_unique<GpuBoardTable>(*nv);
        EXPECT_EQ(table->EnumerateBoards(), kNvOk);
    }
    SimLibrary* sim;
    std::unique_ptr<NvApiLibrary> nv;
    std::unique_ptr<GpuBoardTable> table;
};

class SimStateFileTest : public ::testing::Test {
protected:
    // A folder of its own: test runs side by side (a clean clone's CI and a working build) never
    // share one.
    const pyx::test::TempFolder folder_{"pyx-simstate-"};
    const fs::path dir_ = folder_.Path();
    const fs::path path_ = dir_ / "cards.json";
};

TEST_F(SimStateFileTest, EveryChangeIsWrittenAtOnceAndTheNextRunStartsFromIt) {
    {
        auto cards = ZoneCards();
        std::string error;
        ASSERT_NE(SimStateFile::Attach(*cards, path_, error), nullptr) << error;
        ASSERT_TRUE(fs::exists(path_));
        ProgramRun run(std::move(cards));

        ASSERT_EQ(SetGraphicsClockOffset(*run.table, 0, 51000), kNvOk);
        auto doc = nlohmann::json::parse(pyx::test::FileText(path_));
        EXPECT_EQ(doc["cards"][0]["tuning"]["graphics"]["deltaKHz"], 51000);
        EXPECT_EQ(doc["cards"][0]["clockKHz"][0][0], 1506000 + 51000);

        // A bus write is a change too: a zone commit is in the file before the next call.
        uint8_t reg = 0x02;
        uint8_t frame[5] = {0x10, 0x20, 0x30, 0x00, 0x01};
        ASSERT_EQ(WriteLedRegister(*run.table, 0, 0x58, &reg, frame, 5), kNvOk);
        doc = nlohmann::json::parse(pyx::test::FileText(path_));
        EXPECT_EQ(doc["cards"][0]["bus"][0]["address"], "0x58");
        EXPECT_EQ(doc["cards"][0]["bus"][0]["registers"].get<std::string>().substr(4, 10), "1020300001");

        NvPowerPoliciesStatus power{};
        power.version = kPowerPoliciesStatusTag;
        ASSERT_EQ(GetPowerPolicyStatus(*run.table, 1, &power), kNvOk);
        power.entries[0].powerPcm = 87000;
        ASSERT_EQ(SetPowerPolicyStatus(*run.table, 1, &power), kNvOk);
        doc = nlohmann::json::parse(pyx::test::FileText(path_));
        EXPECT_EQ(doc["cards"][1]["tuning"]["power"]["currentPcm"], 87000);

        // Only the renamed file is left behind, beside the lock the programs sharing it take.
        std::set<fs::path> files;
        for (const auto& entry : fs::directory_iterator(dir_)) files.insert(entry.path().filename());
        EXPECT_EQ(files, (std::set<fs::path>{"cards.json", "cards.json.lock"}));
    }
    auto cards = ZoneCards();
    std::string error;
    ASSERT_NE(SimStateFile::Attach(*cards, path_, error), nullptr) << error;
    EXPECT_EQ(cards->Card(0).tuning.graphics.deltaKHz, 51000);
    EXPECT_EQ(cards->Card(0).clockKHz[0][0], 1506000u + 51000u);
    EXPECT_EQ(cards->Card(1).tuning.power.currentPcm, 87000u);
    // The zone shows what it showed when the last run ended, not only its registers.
    const SimLedShown shown = cards->Card(0).bus.DeviceAs<SimLedZoneController>(0x58)->Shown();
    EXPECT_EQ(shown.r, 0x10);
    EXPECT_EQ(shown.b, 0x30);
    EXPECT_EQ(shown.effectCode, 0x01);
}

TEST_F(SimStateFileTest, AFanLevelReachesTheDutyChipAgainAfterARestart) {
    {
        auto cards = ZoneCards();
        std::string error;
        ASSERT_NE(SimStateFile::Attach(*cards, path_, error), nullptr) << error;
        ProgramRun run(std::move(cards));
        NvCoolerLevels levels{};
        levels.version = kCoolerLevelsTag;
        levels.cooler[0] = {80, 1};
        ASSERT_EQ(run.nv->SetCoolerLevels(run.table->Board(0).gpuHandle, 0, &levels), kNvOk);
    }
    auto cards = ZoneCards();
    std::string error;
    ASSERT_NE(SimStateFile::Attach(*cards, path_, error), nullptr) << error;
    EXPECT_EQ(cards->Card(0).tuning.coolers[0].currentLevel, 80u);
    auto* chip = cards->Card(0).bus.DeviceAs<SimFanChipSlot1>(0x5C);
    uint8_t duty = 0;
    ASSERT_TRUE(chip->Read(0x30, &duty, 1));
    EXPECT_EQ(duty, 80 * 255 / 100);
}

TEST_F(SimStateFileTest, AnEmptyFileIsAFreshStart) {
    std::ofstream(path_).close();
    auto cards = ZoneCards();
    std::string error;
    ASSERT_NE(SimStateFile::Attach(*cards, path_, error), nullptr) << error;
    EXPECT_EQ(nlohmann::json::parse(pyx::test::FileText(path_))["cards"].size(), 2u);
}

TEST_F(SimStateFileTest, AStateThatDoesNotFitIsRefusedWholeWithTheFileNamed) {
    // A good state, then damaged in several ways; each refusal leaves every card untouched.
    {
        auto cards = ZoneCards();
        cards->Card(0).tuning.graphics.deltaKHz = 40000;
        cards->Card(1).tuning.graphics.deltaKHz = 30000;
        std::string error;
        ASSERT_NE(SimStateFile::Attach(*cards, path_, error), nullptr) << error;
    }
    const auto good = nlohmann::json::parse(pyx::test::FileText(path_));
    struct Case {
        std::function<void(nlohmann::json&)> damage;
        const char* expected;
    };
    const Case cases[] = {
        {[](nlohmann::json& d) { d["cards"][1]["tuning"]["power"].erase("maxPcm"); }, "state.cards[1].tuning.power.maxPcm: missing"},
        {[](nlohmann::json& d) { d["cards"][1]["deviceId"] = "0x1B8110DE"; }, "written for another scenario"},
        {[](nlohmann::json& d) { d["cards"].erase(1); }, "the state has 1 card(s), the scenario 2"},
        {[](nlohmann::json& d) { d["cards"][0]["bus"][0]["model"] = "led-effect"; }, "\"led-effect\" at 0x58"},
        {[](nlohmann::json& d) { d["cards"][0]["bus"].erase(1); }, "no entry for the bus device at 0x5C"},
        {[](nlohmann::json& d) { d["cards"][0]["bus"][0]["registers"] = "00"; }, "512 hex digits"},
        {[](nlohmann::json& d) { d["cards"][1]["tuning"]["vfPoints"][0]["offsetKHz"] = 3000000000LL; }, "out of range"},
        {[](nlohmann::json& d) { d["pyxtuneSimState"] = 2; }, "reads version 1"},
        {[](nlohmann::json& d) { d["cards"][0]["pluggedIn"] = "no"; }, "state.cards[0].pluggedIn: expected true or false"},
    };
    for (const Case& c : cases) {
        nlohmann::json damaged = good;
        c.damage(damaged);
        std::ofstream(path_, std::ios::trunc) << damaged.dump();
        auto cards = ZoneCards();
        std::string error;
        EXPECT_EQ(SimStateFile::Attach(*cards, path_, error), nullptr) << c.expected;
        EXPECT_NE(error.find(path_.string()), std::string::npos) << error;
        EXPECT_NE(error.find(c.expected), std::string::npos) << error;
        EXPECT_EQ(cards->Card(0).tuning.graphics.deltaKHz, 0) << error;
        EXPECT_EQ(cards->Card(1).tuning.graphics.deltaKHz, 0) << error;
    }
    std::ofstream(path_, std::ios::trunc) << R"({"pyxtuneSimState": 1, "cards": [)";
    auto cards = ZoneCards();
    std::string error;
    EXPECT_EQ(SimStateFile::Attach(*cards, path_, error), nullptr);
    EXPECT_NE(error.find("not a usable simulator state"), std::string::npos) << error;
    // The refused file is left for the user to look at.
    EXPECT_EQ(pyx::test::FileText(path_), R"({"pyxtuneSimState": 1, "cards": [)");
}

TEST_F(SimStateFileTest, AFileThatCannotBeWrittenIsRefusedAtStart) {
    auto cards = ZoneCards();
    std::string error;
    EXPECT_EQ(SimStateFile::Attach(*cards, dir_ / "missing-folder" / "cards.json", error), nullptr);
    EXPECT_NE(error.find("missing-folder"), std::string::npos) << error;
    EXPECT_NE(error.find("cannot be written"), std::string::npos) << error;
}

#ifndef _WIN32
// Another program on the same cards, in a process of its own: sets card `gpu`'s graphics offset.
void ChangeInAnotherProcess(const fs::path& path, int gpu, int32_t offsetKHz) {
    const pid_t child = ::fork();
    if (child == 0) {
        auto cards = ZoneCards();
        std::string error;
        if (!SimStateFile::Attach(*cards, path, error)) ::_exit(2);
        ProgramRun run(std::move(cards));
        ::_exit(SetGraphicsClockOffset(*run.table, gpu, offsetKHz) == kNvOk ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

// The window keeps the cards for as long as it runs while pyxtunectl comes and goes.
TEST_F(SimStateFileTest, ProgramsSharingTheFileSeeAndKeepEachOthersChanges) {
    auto cards = ZoneCards();
    std::string error;
    ASSERT_NE(SimStateFile::Attach(*cards, path_, error), nullptr) << error;
    ProgramRun window(std::move(cards));
    for (const int32_t offsetKHz : {30000, -20000}) {
        ChangeInAnotherProcess(path_, 1, offsetKHz);
        // Its next read shows the other program's change, as a real card would.
        NvPstates20 record{};
        ASSERT_EQ(GetPstates20(*window.table, 1, &record), kNvOk);
        EXPECT_EQ(window.sim->Card(1).tuning.graphics.deltaKHz, offsetKHz);
        // Its own change to the other card leaves that change in place.
        ASSERT_EQ(SetGraphicsClockOffset(*window.table, 0, offsetKHz + 1000), kNvOk);
        const auto doc = nlohmann::json::parse(pyx::test::FileText(path_));
        EXPECT_EQ(doc["cards"][0]["tuning"]["graphics"]["deltaKHz"], offsetKHz + 1000);
        EXPECT_EQ(doc["cards"][1]["tuning"]["graphics"]["deltaKHz"], offsetKHz);
    }
}

// A card taken out and put back, as a user of the simulator does by editing the file while
// programs run: the library lists only the cards plugged in, and a taken-out card's handle
// answers as one the driver invalidated, until the card is back.
TEST_F(SimStateFileTest, ACardTakenOutOfTheFileLeavesTheLibrarysList) {
    auto cards = ZoneCards();
    std::string error;
    ASSERT_NE(SimStateFile::Attach(*cards, path_, error), nullptr) << error;
    ProgramRun window(std::move(cards));
    EXPECT_FALSE(nlohmann::json::parse(pyx::test::FileText(path_))["cards"][0].contains("pluggedIn"))
        << "a file of cards all plugged in reads as the files written before";
    for (const bool pluggedIn : {false, true}) {
        auto doc = nlohmann::json::parse(pyx::test::FileText(path_));
        doc["cards"][0]["pluggedIn"] = pluggedIn;
        std::ofstream(dir_ / "edited.json") << doc.dump();
        fs::rename(dir_ / "edited.json", path_);
        NvPhysicalGpuHandle handles[kNvMaxPhysicalGpus] = {};
        uint32_t count = 0;
        ASSERT_EQ(window.nv->EnumPhysicalGPUs(handles, &count), kNvOk);
        ASSERT_EQ(count, pluggedIn ? 2u : 1u);
        EXPECT_EQ(handles[0], pluggedIn ? &window.sim->Card(0) : &window.sim->Card(1));
        NvPstates20 record{};
        EXPECT_EQ(GetPstates20(*window.table, 0, &record), pluggedIn ? kNvOk : kSimHandleInvalidated);
        EXPECT_EQ(GetPstates20(*window.table, 1, &record), kNvOk);
    }
}
#endif

}  // namespace
}  // namespace pyx::sim
