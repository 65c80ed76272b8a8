// pyxtunectl's keep question as a user meets it: the tool a process of its own on the
// simulator, its standard input and error a pseudo-terminal the test types into, its standard
// output a file. A change is kept only on "y"; anything else puts back exactly what was there.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/cli/ProgramProcess.h"
#include "tests/support/TraceFile.h"

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace pyx::proctest {
namespace {

using nlohmann::json;

std::string Utf16File(const std::string& ascii) {
    std::string bytes = "\xFF\xFE";
    for (const char c : ascii) bytes += {c, '\0'};
    return bytes;
}

class KeepQuestionProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("pyx-keep-" + std::to_string(ThisProcessId()) + "-" +
                                               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        Fresh();
    }
    void TearDown() override { RemoveFolder(folder_); }
    void Fresh() {
        RemoveFolder(folder_);
        fs::create_directories(folder_);
    }

    std::vector<EnvChange> Env() const {
        return {{"PYXTUNE_GPU_BACKEND", "sim"},
                {"PYXTUNE_SIM_STATE", (folder_ / "state.json").string()},
                {"PYXTUNE_SIM_SCENARIO", std::nullopt},
                {"PYXTUNE_TRACE", (folder_ / "trace.txt").string()}};
    }
    ProgramRun Ctl(const std::vector<std::string>& args) {
        return RunProgram(PYX_PYXTUNECTL, args, Env(), folder_ / ("run" + std::to_string(++runs_)));
    }
    // The cards off their defaults, fan fixed included, so that a revert has something to put back.
    json Tuned() {
        const ProgramRun run = Ctl({"apply", "custom", "--yes", "--core", "-50", "--mem", "100", "--power", "80",
                                    "--fan", "45"});
        EXPECT_EQ(run.status, 0) << run.err;
        fs::remove(folder_ / "trace.txt");
        return Kept();
    }
    // What a card keeps of its tuning, whole: offsets, VF points, power, thermal limits, fans.
    json Kept() const {
        json cards = json::parse(FileText(folder_ / "state.json")).at("cards");
        for (json& card : cards) {
            card.erase("clockKHz");
            card.at("tuning").erase("pstatesReadFailures");
            // Register 0x30 of this chip reads back the library's duty: the simulator starts it
            // at 77, which no percent gives (30 % is 76), so any cooler write moves it.
            for (json& device : card.at("bus"))
                if (device.at("model") == "fan-chip-slot1")
                    device["registers"] = device["registers"].get<std::string>().replace(0x30 * 2, 2, "..");
        }
        return cards;
    }
    fs::path Profile(const std::string& name, const std::string& values) const {
        const fs::path file = folder_ / name;
        std::ofstream(file, std::ios::binary) << Utf16File("[Gpu1]\r\nId=1b81\r\nFanWorkMode=1\r\n" + values);
        return file;
    }
    // The tuning writes the trace holds (reads and the start-up's chip probes left out).
    std::vector<std::string> TuningWrites() const {
        std::vector<std::string> writes;
        for (const std::string& line : test::TraceFile(folder_ / "trace.txt").Lines())
            if (line.find("Set") != std::string::npos || line.rfind("Restore", 0) == 0) writes.push_back(line);
        return writes;
    }

    fs::path folder_;
    int runs_ = 0;
};

// Without a terminal only --yes confirms, and what is refused is refused before any card is
// written to.
TEST_F(KeepQuestionProcessTest, NothingIsSentUnlessConfirmedAndInRange) {
    struct Case {
        std::vector<std::string> args;
        std::string profile;  // written as wide.ini when set
        const char* expected;
        bool sessionOpened;  // the check needs the cards' ranges
    };
    const Case cases[] = {
        {{"apply", "extreme"}, "", "extreme needs --yes: there is no terminal", false},
        {{"apply", "custom", "--core", "0", "--mem", "0", "--power", "100", "--fan", "40"}, "", "custom needs --yes",
         false},
        {{"apply", "performance", "--revert-after", "4"}, "", "--revert-after: \"4\" is not accepted", false},
        {{"apply", "performance", "--yes", "--revert-after", "61"}, "", "from 5 to 60", false},
        {{"apply", "common", "--revert-after", "10"}, "", "--revert-after belongs to the modes that ask", false},
        {{"profile", "load", "WIDE"}, "DyaGpuClock=10\r\n", "profile load needs --yes", false},
        {{"profile", "load", "WIDE", "--yes"}, "DyaGpuClock=99999\r\nPowerTarget=100\r\n",
         "[Gpu1] DyaGpuClock=99999 MHz is outside GPU 0's range -200..200 MHz", true},
        {{"profile", "load", "WIDE", "--yes"}, "DyaGpuClock=0\r\nPowerTarget=500\r\n",
         "[Gpu1] PowerTarget=500 % is outside GPU 0's range 50..120 %", true},
        {{"profile", "show", "WIDE", "--yes"}, "", "--yes belongs to load", false},
    };
    for (const Case& c : cases) {
        Fresh();
        std::vector<std::string> args = c.args;
        for (std::string& arg : args)
            if (arg == "WIDE") arg = Profile("wide.ini", c.profile).string();
        const ProgramRun run = Ctl(args);
        EXPECT_EQ(run.status, 2) << args[1] << "\n" << run.err;
        EXPECT_NE(run.err.find(c.expected), std::string::npos) << run.err;
        EXPECT_TRUE(TuningWrites().empty()) << args[1] << ": " << FileText(folder_ / "trace.txt");
        EXPECT_EQ(fs::exists(folder_ / "trace.txt"), c.sessionOpened) << args[1] << " " << c.expected;
    }
}

#ifndef _WIN32

// pyxtunectl with its standard input and error on a pseudo-terminal.
class TerminalRun {
public:
    TerminalRun(const std::vector<std::string>& args, const std::vector<EnvChange>& env, const fs::path& outFile) {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
        const std::string slave = ptsname(master_);
        std::vector<std::string> argv = {PYX_PYXTUNECTL};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<std::string> environment;
        for (char** e = environ; *e != nullptr; ++e) {
            bool changed = false;
            for (const EnvChange& change : env) changed = changed || std::string(*e).rfind(change.name + "=", 0) == 0;
            if (!changed) environment.push_back(*e);
        }
        for (const EnvChange& change : env)
            if (change.value) environment.push_back(change.name + "=" + *change.value);
        std::vector<char*> argvPointers, envPointers;
        for (auto& a : argv) argvPointers.push_back(a.data());
        for (auto& e : environment) envPointers.push_back(e.data());
        argvPointers.push_back(nullptr);
        envPointers.push_back(nullptr);
        pid_ = fork();
        if (pid_ == 0) {
            setsid();
            const int tty = open(slave.c_str(), O_RDWR);
            const int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(tty, 0);
            dup2(out, 1);
            dup2(tty, 2);
            execve(argvPointers[0], argvPointers.data(), envPointers.data());
            _exit(127);
        }
    }
    ~TerminalRun() {
        if (pid_ > 0 && status_ == -1) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (master_ >= 0) close(master_);
    }

    // Reads what the tool writes until `text` shows; false when it does not within limit.
    bool WaitFor(const std::string& text, std::chrono::milliseconds limit = std::chrono::seconds(30)) {
        const auto until = std::chrono::steady_clock::now() + limit;
        while (screen_.find(text) == std::string::npos) {
            if (std::chrono::steady_clock::now() > until) return false;
            pollfd in{master_, POLLIN, 0};
            if (poll(&in, 1, 50) <= 0) continue;
            char buffer[512];
            const ssize_t got = read(master_, buffer, sizeof buffer);
            if (got <= 0) return false;
            screen_.append(buffer, static_cast<size_t>(got));
        }
        return true;
    }
    void Type(const std::string& text) { EXPECT_EQ(write(master_, text.data(), text.size()), ssize_t(text.size())); }
    int Wait(std::chrono::milliseconds limit = std::chrono::seconds(30)) {
        const auto until = std::chrono::steady_clock::now() + limit;
        while (status_ == -1 && std::chrono::steady_clock::now() < until) {
            WaitFor("\x01", std::chrono::milliseconds(20));  // keeps the terminal drained
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
        }
        return status_;
    }
    const std::string& Screen() const { return screen_; }

private:
    int master_ = -1;
    pid_t pid_ = -1;
    int status_ = -1;
    std::string screen_;
};

constexpr char kNoAnswer[] = "(none)";
constexpr char kEndOfInput[] = "\x04";

// Only "y" or "yes" keeps; "n", an empty line, the end of input and silence revert, exactly.
TEST_F(KeepQuestionProcessTest, OnlyYesKeepsEverythingElseRevertsExactly) {
    struct Case {
        std::vector<std::string> args;
        const char* keepAnswer;  // typed after the question; kNoAnswer types nothing
        bool kept;
        int32_t keptGraphicsMHz;  // what the card holds when kept
        const char* question;
    };
    const std::vector<std::string> load = {"profile", "load", "PROFILE"};
    const Case cases[] = {
        {{"apply", "extreme", "--json"}, "y", true, 84, "(reverted in 15 s)"},
        {{"apply", "extreme", "--json"}, " YES", true, 84, "(reverted in 15 s)"},
        {{"apply", "extreme", "--json", "--revert-after", "60"}, "n", false, 0, "(reverted in 60 s)"},
        {{"apply", "performance", "--json"}, "", false, 0, "(reverted in 15 s)"},
        {{"apply", "performance", "--json"}, kEndOfInput, false, 0, "(reverted in 15 s)"},
        {{"apply", "extreme", "--json", "--revert-after", "5"}, kNoAnswer, false, 0, "(reverted in 5 s)"},
        {load, "yes", true, 50, "(reverted in 15 s)"},
        {load, "no", false, 0, "(reverted in 15 s)"},
    };
    for (const Case& c : cases) {
        Fresh();
        const json before = Tuned();
        std::vector<std::string> args = c.args;
        for (std::string& arg : args)
            if (arg == "PROFILE") arg = Profile("up.ini", "DyaGpuClock=50\r\nDyaMemClock=20\r\nPowerTarget=110\r\n").string();
        const std::string what = args[1] + " answered \"" + c.keepAnswer + "\"";
        TerminalRun run(args, Env(), folder_ / "out.json");
        ASSERT_TRUE(run.WaitFor("Continue? [y/N]")) << what << "\n" << run.Screen();
        run.Type("y\n");
        ASSERT_TRUE(run.WaitFor("Keep these settings? [y/N] " + std::string(c.question))) << what << "\n" << run.Screen();
        const auto asked = std::chrono::steady_clock::now();
        if (c.keepAnswer != std::string(kNoAnswer))
            run.Type(c.keepAnswer == std::string(kEndOfInput) ? c.keepAnswer : c.keepAnswer + std::string("\n"));
        ASSERT_EQ(run.Wait(), 0) << what << "\n" << run.Screen();
        if (c.keepAnswer == std::string(kNoAnswer)) {
            EXPECT_GE(std::chrono::steady_clock::now() - asked, std::chrono::milliseconds(4500)) << "reverted early";
        }

        const json after = Kept();
        if (c.kept) {
            EXPECT_NE(after, before) << what;
            EXPECT_EQ(after[0]["tuning"]["graphics"]["deltaKHz"].get<int64_t>() / 1000, c.keptGraphicsMHz) << what;
        } else {
            for (const json& difference : json::diff(before, after)) ADD_FAILURE() << what << ": " << difference.dump();
        }
        if (args[0] == "apply") {
            const json doc = json::parse(FileText(folder_ / "out.json"));
            EXPECT_EQ(doc["kept"], c.kept) << what;
            EXPECT_EQ(doc["applied"], true) << what;
            EXPECT_EQ(doc["revertRefusals"], json::array()) << what;
            EXPECT_EQ(doc["gpus"][0]["graphicsOffsetMHz"], c.kept ? c.keptGraphicsMHz : -50) << what;
        } else {
            EXPECT_EQ(FileText(folder_ / "out.json").find("Reverted") == std::string::npos, c.kept) << what;
        }
    }
}

// A warning that is not confirmed sends nothing, on a terminal as without one.
TEST_F(KeepQuestionProcessTest, AnUnconfirmedWarningSendsNothing) {
    for (const char* answer : {"n\n", "\n", kEndOfInput}) {
        Fresh();
        const json before = Tuned();
        TerminalRun run({"apply", "extreme"}, Env(), folder_ / "out.txt");
        ASSERT_TRUE(run.WaitFor("Continue? [y/N]")) << run.Screen();
        run.Type(answer);
        EXPECT_EQ(run.Wait(), 2) << run.Screen();
        EXPECT_TRUE(run.WaitFor("extreme was not applied: the warning was not confirmed", std::chrono::seconds(1)))
            << run.Screen();
        EXPECT_EQ(run.Screen().find("Keep these settings?"), std::string::npos);
        EXPECT_TRUE(TuningWrites().empty()) << FileText(folder_ / "trace.txt");
        EXPECT_EQ(Kept(), before);
    }
}

#endif

}  // namespace
}  // namespace pyx::proctest
