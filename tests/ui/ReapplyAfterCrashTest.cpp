// The program itself, killed a second into a start that put a stored overclock back, as a
// machine that crashes on it would end it; the next start must leave the card alone and say so.
#if !defined(_WIN32) && defined(PYX_PYXTUNE)

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "app/ReapplyGuard.h"
#include "tests/cli/ProgramProcess.h"

namespace pyx::proctest {
namespace {

// The first card's clock offsets and power as the simulator's state file holds them; null when none.
nlohmann::json CardTuning(const fs::path& state) {
    const nlohmann::json doc = nlohmann::json::parse(pyx::test::FileText(state), nullptr, false);
    if (doc.is_discarded() || !doc.contains("cards") || doc["cards"].empty()) return nullptr;
    const nlohmann::json& t = doc["cards"][0]["tuning"];
    return {t["graphics"]["deltaKHz"], t["memory"]["deltaKHz"], t["power"]["currentPcm"]};
}

template <typename Ready>
bool WaitUntil(ProgramProcess& program, Ready ready) {  // polled: a loaded machine only slows it
    const auto until = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (program.Running() && std::chrono::steady_clock::now() < until && !ready())
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return ready() && program.Running();
}

size_t Count(const std::string& text, std::string_view what) {
    size_t n = 0;
    for (size_t at = 0; (at = text.find(what, at) + 1) != 0;) ++n;
    return n;
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
    const fs::path state = folder / "cards.json", fresh = folder / "fresh.json";
    const auto env = [&](const fs::path& statePath) {
        return std::vector<EnvChange>{
            {"QT_QPA_PLATFORM", "offscreen"}, {"PYXTUNE_GPU_BACKEND", "sim"}, {"PYXTUNE_SIM_STATE", statePath.string()},
            {"PYXTUNE_SIM_SCENARIO", std::nullopt}, {"PYXTUNE_TRACE", std::nullopt},
            {"XDG_RUNTIME_DIR", (folder / "runtime").string()}, {"XDG_CONFIG_HOME", (folder / "config").string()}};
    };
    ASSERT_EQ(RunProgram(ctl, {"list"}, env(fresh), folder / "fresh").status, 0);
    const nlohmann::json untouched = CardTuning(fresh);  // the card as it comes up after the crash
    ASSERT_FALSE(untouched.is_null());
    const fs::path settingsFolder = folder / "program" / "simulated", settings = settingsFolder / "Preformance.txt";
    const fs::path marker = settingsFolder / kReapplyMarkerFileName;
    fs::create_directories(settingsFolder);
    const std::string bytes = Utf16File(u"\xFEFF[Gpu1]\r\nId=1b81\r\nDyaGpuClock=150\r\nDyaMemClock=200\r\n");
    std::ofstream(settings, std::ios::binary) << bytes;
    // Whatever copy of the window runs elsewhere on the machine, these take their own lock.
    const MachineLockHolder elsewhere;
    ASSERT_TRUE(elsewhere.Taken());
    {  // a ProgramProcess's end is a SIGKILL
        ProgramProcess first(program, {}, env(state), folder / "first", Isolation::OwnInstanceLock);
        if (!first.IsolationError().empty()) GTEST_SKIP() << "no lock of its own: " << first.IsolationError();
        ASSERT_TRUE(WaitUntil(first, [&] { return fs::exists(marker) && CardTuning(state) != untouched; }));
        std::this_thread::sleep_for(std::chrono::seconds(1));  // well inside the marker's minute
        ASSERT_TRUE(first.Running()) << first.Err();
    }
    fs::remove(state);  // the crash took the card's overclock with it
    ProgramProcess second(program, {"-v"}, env(state), folder / "second", Isolation::OwnInstanceLock);
    // The fans are read once in the start-up and each second after it: the third read is past its load.
    EXPECT_TRUE(WaitUntil(second, [&] {
        return ReapplyGuard::ReadMarker(settingsFolder).skipped && Count(second.Out(), "Fan cooler status:") >= 3;
    })) << second.Err();
    second.Kill();
    EXPECT_EQ(CardTuning(state), untouched) << "the second start put the settings back";
    EXPECT_EQ(pyx::test::FileText(settings), bytes);
    EXPECT_TRUE(fs::exists(marker)) << "the next start would put them back";
    const ProgramRun json = RunProgram(ctl, {"list", "--json"}, env(state), folder / "list-json");
    ASSERT_EQ(json.status, 0) << json.err;
    EXPECT_TRUE(nlohmann::json::parse(json.out).value("reapplySkipped", false)) << json.out;
    RemoveFolder(folder);
}

}  // namespace
}  // namespace pyx::proctest

#endif
