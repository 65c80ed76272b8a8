// pyxtunectl run as a user runs it, from a folder of its own, each command a process of its
// own: where its settings files land, and what a saved profile puts back.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/CIniText.h"
#include "tests/cli/ProgramProcess.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace pyx::proctest {
namespace {

class SettingsPlaceProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("pyx-place-" + std::to_string(ThisProcessId()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        RemoveFolder(folder_);
        program_ = CopyProgram(PYX_PYXTUNECTL, folder_ / "program");
    }
    void TearDown() override { RemoveFolder(folder_); }

    // The back-end is left to the program's own choice unless backend_ names one.
    ProgramRun Ctl(const std::vector<std::string>& args, const char* scenario = nullptr) {
        const std::optional<std::string> scenarioPath =
            scenario ? std::optional<std::string>((fs::path(PYX_SIM_SCENARIO_DIR) / scenario).string()) : std::nullopt;
        return RunProgram(program_, args,
                          {{"PYXTUNE_GPU_BACKEND", backend_},
                           {"PYXTUNE_SIM_STATE", (folder_ / "state.json").string()},
                           {"PYXTUNE_SIM_SCENARIO", scenarioPath},
                           {"PYXTUNE_TRACE", std::nullopt},
                           {"XDG_CONFIG_HOME", (folder_ / "config").string()}},
                          folder_ / ("run" + std::to_string(++runs_)));
    }
    // The state file's tuning record of the first card.
    nlohmann::json Tuning() const {
        return nlohmann::json::parse(FileText(folder_ / "state.json")).at("cards").at(0).at("tuning");
    }
    // Without a driver library the program falls back to the simulator; on a machine with one
    // these tests would tune a real card, so they do not run there.
    bool FallsBackToTheSimulator() {
        const ProgramRun list = Ctl({"list", "--json"});
        return list.status == 0 && nlohmann::json::parse(list.out).value("simulated", false);
    }

    fs::path folder_, program_;
    std::optional<std::string> backend_;
    int runs_ = 0;
};

// A real card's settings lie beside the program. Simulated cards must never write into them,
// neither the tuning file nor the lighting file that the LED service reads.
TEST_F(SettingsPlaceProcessTest, SimulatedCardsNeverWriteIntoTheSettingsFilesOfRealCards) {
    if (!FallsBackToTheSimulator()) GTEST_SKIP() << "a GPU driver library is installed here";
    const fs::path besideProgram = program_.parent_path();
    const std::string realTuning = Utf16File(u"\xFEFF[Gpu1]\r\nId=2684\r\nDyaGpuClock=150\r\n");
    const std::string realLighting = Utf16File(u"\xFEFF[Gpu1]\r\nId=2684\r\nLEDMODE=2\r\n");
    std::ofstream(besideProgram / "Preformance.txt", std::ios::binary) << realTuning;
    std::ofstream(besideProgram / "Led.txt", std::ios::binary) << realLighting;
    const fs::path simulated = besideProgram / "simulated";

    ProgramRun run = Ctl({"profile", "save"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find((simulated / "Preformance.txt").string()), std::string::npos) << run.out;
    const std::string saved = FileText(simulated / "Preformance.txt");
    EXPECT_NE(saved.find(Utf16File(u"Id=1b81")), std::string::npos);

    run = Ctl({"list"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Settings folder: " + simulated.string()), std::string::npos) << run.out;

    // Lighting two simulated cards writes "Led.txt" for the LED service.
    fs::remove(folder_ / "state.json");
    run = Ctl({"led", "--gpu", "0", "--target", "zone-main", "--mode", "static", "--color", "00ff00"},
              "led-two-cards.json");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(fs::exists(simulated / "Led.txt"));

    EXPECT_EQ(FileText(besideProgram / "Preformance.txt"), realTuning);
    EXPECT_EQ(FileText(besideProgram / "Led.txt"), realLighting);

    // The program's own file is what "profile load" takes without a path.
    fs::remove(folder_ / "state.json");
    run = Ctl({"profile", "load", "--yes"});
    EXPECT_EQ(run.status, 0) << run.err;
}

// The default card has a VF range and is of the family that takes VF-point offsets; the
// offsets the user applied must come back from a profile all the same.
TEST_F(SettingsPlaceProcessTest, ACustomTuningOfTheDefaultCardComesBackFromAProfile) {
    backend_ = "sim";
    const fs::path profile = folder_ / "rt.ini";
    ProgramRun run = Ctl({"apply", "custom", "--core", "100", "--mem", "50", "--power", "100", "--fan", "30", "--yes"});
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(Tuning()["graphics"]["deltaKHz"], 100000);
    ASSERT_EQ(Ctl({"profile", "save", profile.string()}).status, 0);
    ASSERT_EQ(Ctl({"apply", "common"}).status, 0);
    ASSERT_EQ(Tuning()["graphics"]["deltaKHz"], 0);

    run = Ctl({"profile", "load", profile.string(), "--yes"});
    ASSERT_EQ(run.status, 0) << run.err;
    const nlohmann::json tuning = Tuning();
    EXPECT_EQ(tuning["graphics"]["deltaKHz"], 100000);
    EXPECT_EQ(tuning["memory"]["deltaKHz"], 50000);
    EXPECT_EQ(tuning["power"]["currentPcm"], 100000);
    for (const auto& fan : tuning["fanCoolers"]) {
        EXPECT_EQ(fan["manual"], true);
        EXPECT_EQ(fan["manualLevel"], 30);
    }
}

#ifndef _WIN32
// Root started with a user's environment (sudo -E) finds a settings folder of that user's
// making, with settings of their choosing. An installed copy uses no settings then: it says why
// and fails wherever it would read or write them, and writes nothing anywhere instead.
TEST_F(SettingsPlaceProcessTest, RootWithAnotherUsersHomeUsesNoSettingsAndSaysWhy) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can stand for another user's folder";
    if (!FallsBackToTheSimulator()) GTEST_SKIP() << "a GPU driver library is installed here";
    std::string base = "/opt/pyx-test-XXXXXX";  // installed, as a package puts it
    if (::mkdtemp(base.data()) == nullptr) GTEST_SKIP() << base << ": " << std::strerror(errno);
    const struct Remove {
        fs::path folder;
        ~Remove() { RemoveFolder(folder); }
    } removeInstalled{base};
    program_ = CopyProgram(PYX_PYXTUNECTL, fs::path(base) / "bin");
    const fs::path users = folder_ / "config" / "pyxtune", crafted = users / "simulated" / "Preformance.txt";
    fs::create_directories(crafted.parent_path());
    std::ofstream(crafted, std::ios::binary) << Utf16File(u"\xFEFF[Gpu1]\r\nId=1b81\r\nDyaGpuClock=150\r\n");
    for (const fs::path& planted : {users, crafted.parent_path(), crafted})
        ASSERT_EQ(::chown(planted.c_str(), 65534, 65534), 0);
    const std::string craftedBytes = FileText(crafted);
    const std::string why = "Settings are not used: " + users.string() + " is owned by another user (uid 65534)";

    using Args = std::vector<std::string>;
    const Args light = {"led", "--gpu", "0", "--target", "zone-main", "--mode", "static", "--color", "00ff00"};
    for (const auto& [args, scenario, status] : {std::tuple{Args{"profile", "save"}, "", 2},
                                                 std::tuple{Args{"profile", "load", "--yes"}, "", 2},
                                                 std::tuple{light, "led-two-cards.json", 2},
                                                 std::tuple{Args{"list"}, "", 0}}) {
        SCOPED_TRACE(args.front() + (args.size() > 1 ? " " + args[1] : ""));
        fs::remove(folder_ / "state.json");
        const ProgramRun run = Ctl(args, *scenario ? scenario : nullptr);
        EXPECT_EQ(run.status, status) << run.out << run.err;
        EXPECT_NE((run.err + run.out).find(why), std::string::npos) << run.out << run.err;
    }
    std::vector<fs::path> settingsFiles;  // beside the program, in the working folders, the user's
    for (const fs::path& place : {fs::path(base), folder_})
        for (const auto& entry : fs::recursive_directory_iterator(place))
            if (entry.path().extension() == ".txt") settingsFiles.push_back(entry.path());
    EXPECT_EQ(settingsFiles, std::vector<fs::path>{crafted});
    EXPECT_EQ(FileText(crafted), craftedBytes);
}
#endif

}  // namespace
}  // namespace pyx::proctest
