// The program itself, started as a user starts it for the notification area, on a machine
// without a GPU driver: it falls back to simulated cards, hides, and saves its settings on the
// way. A real card's settings beside the program must come through untouched.
#if !defined(_WIN32) && defined(PYX_PYXTUNE)

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "tests/cli/ProgramProcess.h"

namespace pyx::proctest {
namespace {

TEST(ProgramSettingsPlace, SimulatedCardsLeaveTheRealCardsSettingsBesideTheProgramAlone)
{
    const fs::path folder = fs::temp_directory_path() / ("pyx-window-place-" + std::to_string(::getpid()));
    RemoveFolder(folder);
    const fs::path program = CopyProgram(PYX_PYXTUNE, folder / "program");
    for (const char* font : {"Arial.ttf", "DS-DIGI.ttf"})
        fs::copy_file(fs::path(PYX_BIN_DIR) / font, folder / "program" / font);
    fs::create_directories(folder / "runtime");
    fs::permissions(folder / "runtime", fs::perms::owner_all);
    // As the user has it: no back-end chosen, nothing carried over between runs, a lock and a
    // configuration folder of this test's own.
    const std::vector<EnvChange> env = {{"QT_QPA_PLATFORM", "offscreen"},
                                        {"PYXTUNE_GPU_BACKEND", std::nullopt},
                                        {"PYXTUNE_SIM_STATE", std::nullopt},
                                        {"PYXTUNE_SIM_SCENARIO", std::nullopt},
                                        {"PYXTUNE_TRACE", std::nullopt},
                                        {"XDG_RUNTIME_DIR", (folder / "runtime").string()},
                                        {"XDG_CONFIG_HOME", (folder / "config").string()}};

    const ProgramRun list = RunProgram(PYX_PYXTUNECTL, {"list", "--json"}, env, folder / "list");
    ASSERT_EQ(list.status, 0) << list.err;
    if (!nlohmann::json::parse(list.out).value("simulated", false))
        GTEST_SKIP() << "a GPU driver library is installed here: the program would tune a real card";

    const fs::path real = folder / "program" / "Preformance.txt";
    const std::string realBytes = Utf16File(u"\xFEFF[Gpu1]\r\nId=2684\r\nDyaGpuClock=150\r\n");
    std::ofstream(real, std::ios::binary) << realBytes;
    const fs::path simulated = folder / "program" / "simulated" / "Preformance.txt";

    // Whatever copy of the window runs elsewhere on the machine, this one takes its own lock.
    const MachineLockHolder elsewhere;
    ASSERT_TRUE(elsewhere.Taken());
    ProgramProcess window(program, {"SysTray"}, env, folder / "window", Isolation::OwnInstanceLock);
    if (!window.IsolationError().empty()) GTEST_SKIP() << "no lock of its own: " << window.IsolationError();
    ASSERT_TRUE(window.Started());
    // The hide at the end of the start-up saves the settings; wait until a file shows it.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (window.Running() && std::chrono::steady_clock::now() < until && !fs::exists(simulated) &&
           pyx::test::FileText(real) == realBytes)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    // A save under way finishes with its rename; give it that moment.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const bool stillRunning = window.Running();
    window.Kill();

    EXPECT_TRUE(stillRunning) << "the program ended by itself:\n" << window.Err();
    EXPECT_EQ(window.Out(), "") << "the GPU layer's listings are printed only with -v";
    EXPECT_EQ(pyx::test::FileText(real), realBytes) << "the real card's settings were overwritten";
    ASSERT_TRUE(fs::exists(simulated)) << window.Err();
    EXPECT_NE(pyx::test::FileText(simulated).find(Utf16File(u"Id=1b81")), std::string::npos);
    EXPECT_FALSE(fs::exists(folder / "config")) << "a copy run from its own folder keeps its settings there";
    RemoveFolder(folder);
}

}  // namespace
}  // namespace pyx::proctest

#endif
