// The program itself, killed a second into a start that put a stored overclock back, as a
// machine that crashes on it would end it; the next start must leave the card alone and say so.
#if !defined(_WIN32) && defined(PYX_PYXTUNE)

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "app/ReapplyGuard.h"
#include "tests/cli/ProgramProcess.h"

namespace pyx::proctest {
namespace {

// The first card's clock offsets and power as the simulator's state file holds them; null when
// there is none yet.
nlohmann::json CardTuning(const fs::path& state) {
    const nlohmann::json doc = nlohmann::json::parse(pyx::test::FileText(state), nullptr, false);
    if (doc.is_discarded() || !doc.contains("cards") || doc["cards"].empty()) return nullptr;
    const nlohmann::json& tuning = doc["cards"][0]["tuning"];
    return {tuning["graphics"]["deltaKHz"], tuning["memory"]["deltaKHz"], tuning["power"]["currentPcm"]};
}

template <typename Ready>
bool WaitUntil(ProgramProcess& program, Ready ready) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (program.Running() && std::chrono::steady_clock::now() < until && !ready())
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return ready();
}

TEST(ReapplyAfterCrash, AStartKilledWhilePuttingTheSettingsBackLeavesTheNextStartOffTheCard) {
    const fs::path folder = fs::temp_directory_path() / ("pyx-reapply-crash-" + std::to_string(::getpid()));
    RemoveFolder(folder);
    const fs::path program = CopyProgram(PYX_PYXTUNE, folder / "program");
    const fs::path ctl = CopyProgram(PYX_PYXTUNECTL, folder / "program");
    for (const char* font : {"Arial.ttf", "DS-DIGI.ttf"})
        fs::copy_file(fs::path(PYX_BIN_DIR) / font, folder / "program" / font);
    fs::create_directories(folder / "runtime");
    fs::permissions(folder / "runtime", fs::perms::owner_all);
    const fs::path state = folder / "cards.json";
    const auto env = [&](const fs::path& statePath) {
        return std::vector<EnvChange>{{"QT_QPA_PLATFORM", "offscreen"},
                                      {"PYXTUNE_GPU_BACKEND", "sim"},
                                      {"PYXTUNE_SIM_STATE", statePath.string()},
                                      {"PYXTUNE_SIM_SCENARIO", std::nullopt},
                                      {"PYXTUNE_TRACE", std::nullopt},
                                      {"XDG_RUNTIME_DIR", (folder / "runtime").string()},
                                      {"XDG_CONFIG_HOME", (folder / "config").string()}};
    };
    // The card as it comes up after the crash: nothing of this program's on it.
    const fs::path freshState = folder / "fresh.json";
    ASSERT_EQ(RunProgram(ctl, {"list"}, env(freshState), folder / "fresh").status, 0);
    const nlohmann::json untouched = CardTuning(freshState);
    ASSERT_FALSE(untouched.is_null());

    const fs::path settingsFolder = folder / "program" / "simulated";
    fs::create_directories(settingsFolder);
    const fs::path settings = settingsFolder / "Preformance.txt";
    const std::string settingsBytes =
        Utf16File(u"\xFEFF[Gpu1]\r\nId=1b81\r\nFanWorkMode=1\r\nDyaGpuClock=150\r\nDyaMemClock=200\r\n");
    std::ofstream(settings, std::ios::binary) << settingsBytes;
    const fs::path marker = settingsFolder / kReapplyMarkerFileName;

    {
        ProgramProcess first(program, {}, env(state), folder / "first");
        ASSERT_TRUE(first.Started());
        const bool landed = WaitUntil(first, [&] {
            const nlohmann::json tuning = CardTuning(state);
            return fs::exists(marker) && !tuning.is_null() && tuning != untouched;
        });
        std::this_thread::sleep_for(std::chrono::seconds(1));
        const bool running = first.Running();
        first.Kill();
        ASSERT_TRUE(landed) << "the stored settings never reached the card:\n" << first.Err();
        ASSERT_TRUE(running) << first.Err();
    }
    ASSERT_TRUE(fs::exists(marker));
    EXPECT_FALSE(ReapplyGuard::ReadMarker(settingsFolder).skipped);
    fs::remove(state);  // the crash took the card's overclock with it

    ProgramProcess second(program, {}, env(state), folder / "second");
    ASSERT_TRUE(second.Started());
    EXPECT_TRUE(WaitUntil(second, [&] { return ReapplyGuard::ReadMarker(settingsFolder).skipped; })) << second.Err();
    // The window's own load comes after the marker's note; let the start-up run to its end.
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_TRUE(second.Running()) << second.Err();
    second.Kill();

    EXPECT_EQ(CardTuning(state), untouched) << "the second start put the settings back";
    EXPECT_EQ(pyx::test::FileText(settings), settingsBytes);
    EXPECT_TRUE(fs::exists(marker)) << "the next start would put them back";
    const ProgramRun json = RunProgram(ctl, {"list", "--json"}, env(state), folder / "list-json");
    ASSERT_EQ(json.status, 0) << json.err;
    EXPECT_TRUE(nlohmann::json::parse(json.out).value("reapplySkipped", false)) << json.out;
    const ProgramRun text = RunProgram(ctl, {"list"}, env(state), folder / "list");
    EXPECT_NE(text.out.find(std::string(kReapplySkippedMessage)), std::string::npos) << text.out;
    RemoveFolder(folder);
}

}  // namespace
}  // namespace pyx::proctest

#endif
