// The program itself, ended by SIGTERM or SIGINT as a session manager or Ctrl+C ends it, once
// up or still starting: it ends as Quit does (the put-back marker goes, no settings file is
// written) and leaves no private temporary folder; a folder an earlier, killed copy left
// behind goes at the start.
#if !defined(_WIN32) && defined(PYX_PYXTUNE)

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>

#include "app/ReapplyGuard.h"
#include "tests/cli/ProgramProcess.h"

namespace pyx::proctest {
namespace {

constexpr std::string_view kPrefix = "pyxtune-bios-";

std::vector<fs::path> ReaderFolders(const fs::path& tmp) {
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(tmp))
        if (entry.path().filename().string().rfind(kPrefix, 0) == 0) found.push_back(entry.path());
    return found;
}

TEST(TerminationSignal, EndsTheWindowAsQuitDoesWithoutATemporaryFolderLeft) {
    const MachineLockHolder elsewhere;  // whatever copy runs elsewhere, these take their own lock
    ASSERT_TRUE(elsewhere.Taken());
    struct Case {
        int signal;
        bool up;  // else sent as soon as the start-up has made its folder
    };
    for (const Case c : {Case{SIGTERM, true}, Case{SIGINT, false}}) {
        SCOPED_TRACE(std::string(strsignal(c.signal)) + (c.up ? ", up" : ", starting"));
        const fs::path folder = fs::temp_directory_path() / ("pyx-signal-end-" + std::to_string(::getpid()));
        RemoveFolder(folder);
        const fs::path program = CopyProgram(PYX_PYXTUNE, folder / "program"), tmp = folder / "tmp";
        for (const char* font : {"Arial.ttf", "DS-DIGI.ttf"})
            fs::copy_file(fs::path(PYX_BIN_DIR) / font, folder / "program" / font);
        for (const fs::path& own : {folder / "runtime", tmp}) {
            fs::create_directories(own);
            fs::permissions(own, fs::perms::owner_all);
        }
        // A killed copy's folder: its process has ended.
        const pid_t killed = ::fork();
        if (killed == 0) ::_exit(0);
        ::waitpid(killed, nullptr, 0);
        const fs::path stale = tmp / (std::string(kPrefix) + std::to_string(killed) + "-Ab12Cd");
        fs::create_directories(stale);
        const fs::path settings = folder / "program" / "simulated" / "Preformance.txt";
        const fs::path marker = settings.parent_path() / kReapplyMarkerFileName;
        fs::create_directories(settings.parent_path());
        const std::string bytes = Utf16File(u"\xFEFF[Gpu1]\r\nId=1b81\r\nDyaGpuClock=150\r\n");
        std::ofstream(settings, std::ios::binary) << bytes;
        const std::vector<EnvChange> env = {
            {"QT_QPA_PLATFORM", "offscreen"}, {"PYXTUNE_GPU_BACKEND", "sim"},
            {"PYXTUNE_SIM_STATE", (folder / "cards.json").string()}, {"PYXTUNE_SIM_SCENARIO", std::nullopt},
            {"PYXTUNE_TRACE", std::nullopt}, {"XDG_RUNTIME_DIR", (folder / "runtime").string()},
            {"XDG_CONFIG_HOME", (folder / "config").string()}, {"TMPDIR", tmp.string()}};
        // -v: the fans are listed once in the start-up and each second after it, by the event loop.
        ProgramProcess window(program, {"-v"}, env, folder / "window", Isolation::OwnInstanceLock);
        if (!window.IsolationError().empty()) GTEST_SKIP() << "no lock of its own: " << window.IsolationError();
        const auto up = [&] {
            const std::string out = window.Out();
            return out.find("Fan cooler status:") != out.rfind("Fan cooler status:");
        };
        const auto until = std::chrono::steady_clock::now() + std::chrono::minutes(2);
        while (window.Running() && std::chrono::steady_clock::now() < until &&
               !((!c.up || up()) && ReaderFolders(tmp).size() == 1 && !fs::exists(stale)))
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const std::vector<fs::path> own = ReaderFolders(tmp);
        ASSERT_TRUE(window.Running() && own.size() == 1 && (!c.up || fs::exists(marker))) << window.Err();
        // The folder's name tells its process: the window's.
        const std::string name = own[0].filename().string().substr(kPrefix.size());
        ASSERT_EQ(::kill(std::stoi(name.substr(0, name.find('-'))), c.signal), 0);
        ASSERT_TRUE(window.WaitFor(std::chrono::seconds(30))) << "the signal did not end the window";
        EXPECT_EQ(window.ExitStatus(), 0) << window.Err();
        EXPECT_TRUE(ReaderFolders(tmp).empty()) << own[0];
        EXPECT_FALSE(fs::exists(marker)) << "the end did not run";
        EXPECT_EQ(pyx::test::FileText(settings), bytes) << "Quit writes no settings";
        RemoveFolder(folder);
    }
}

}  // namespace
}  // namespace pyx::proctest

#endif
