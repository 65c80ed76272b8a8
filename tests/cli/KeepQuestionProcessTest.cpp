// pyxtunectl as a process of its own on the simulator; where it asks, its standard input and
// error are a pseudo-terminal the test types into.

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/cli/ProgramProcess.h"
#include "tests/support/TraceFile.h"
#ifndef _WIN32
#include <poll.h>
#include <pty.h>
#endif

namespace pyx::proctest {
namespace {

using nlohmann::json;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class KeepQuestionProcessTest : public ::testing::Test {
protected:
    std::vector<EnvChange> Env() const {
        return {{"PYXTUNE_GPU_BACKEND", "sim"}, {"PYXTUNE_SIM_STATE", (folder_ / "state.json").string()},
                {"PYXTUNE_SIM_SCENARIO", std::nullopt}, {"PYXTUNE_TRACE", (folder_ / "trace.txt").string()},
                {"LANG", chinese_ ? "zh_CN.UTF-8" : "C"}, {"LC_ALL", std::nullopt}, {"LC_MESSAGES", std::nullopt},
                {"LANGUAGE", std::nullopt}};
    }
    // The questions as the tool asks them in the language of its locale.
    const char* ContinueAsked() const { return chinese_ ? "是否继续？[y/N]" : "Continue? [y/N]"; }
    const char* KeepAsked() const { return chinese_ ? "保留这些设置吗？[y/N]" : "Keep these settings? [y/N]"; }
    // A fresh simulator with the cards off their defaults, fan fixed included, so that a revert
    // has something to put back; "INI" in args becomes a profile holding `values`.
    json Start(std::vector<std::string>& args, const std::u16string& values) {
        folder_ = temp_.emplace("pyx-keep-").Path();
        EXPECT_EQ(Run({"apply", "custom", "--yes", "--core", "-50", "--mem", "100", "--power", "80", "--fan", "45"})
                      .status, 0);
        fs::remove(folder_ / "trace.txt");
        for (std::string& arg : args)
            if (arg == "INI")
                arg = temp_->Write("profile.ini", Utf16File(u"\xFEFF[Gpu1]\r\nId=1b81\r\nFanWorkMode=1\r\n" + values))
                          .string();
        return Kept();
    }
    // A card's whole tuning but the fan chip's register 0x30, which starts at a duty no percent gives.
    json Kept() const {
        json cards = json::parse(FileText(folder_ / "state.json")).at("cards");
        for (json& card : cards) {
            card.erase("clockKHz");
            card.at("tuning").erase("pstatesReadFailures");
            for (json& device : card.at("bus"))
                if (device.at("model") == "fan-chip-slot1")
                    device["registers"] = device["registers"].get<std::string>().replace(0x30 * 2, 2, "..");
        }
        return cards;
    }
    // Without `confirm` there is no terminal; with one, `confirm` and `keep` (null: nothing) are
    // typed only once their question shows, since what is typed ahead is dropped.
    ProgramRun Run(const std::vector<std::string>& args, [[maybe_unused]] const char* confirm = nullptr,
                   [[maybe_unused]] const char* keep = nullptr) {
#ifndef _WIN32
        if (confirm) {
            int master = -1;
            const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
            if (pid == 0) {
                for (const EnvChange& e : Env())
                    e.value ? setenv(e.name.c_str(), e.value->c_str(), 1) : unsetenv(e.name.c_str());
                dup2(open((folder_ / "out.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
                std::vector<char*> argv = {const_cast<char*>(PYX_PYXTUNECTL)};
                for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
                argv.push_back(nullptr);
                execv(argv[0], argv.data());
                _exit(127);
            }
            ProgramRun run;
            bool ended = false;  // the terminal reads as closed once the tool is gone
            const auto show = [&](const std::string& text) {
                for (const auto until = Clock::now() + 30s;
                     !ended && run.err.find(text) == std::string::npos && Clock::now() < until;) {
                    pollfd in{master, POLLIN, 0};
                    char buffer[512];
                    const ssize_t got = poll(&in, 1, 20) > 0 ? read(master, buffer, sizeof buffer) : 0;
                    ended = got < 0;
                    if (got > 0) run.err.append(buffer, size_t(got));
                }
                return run.err.find(text) != std::string::npos;
            };
            const auto type = [&](const char* t) { EXPECT_EQ(write(master, t, strlen(t)), ssize_t(strlen(t))); };
            if (show(ContinueAsked())) type(confirm);
            if (show(KeepAsked()) && keep) type(keep);
            const auto askedAt = Clock::now();
            show("\x01");  // never shown: reads on to the end, so a full terminal cannot hold the tool
            silence_ = Clock::now() - askedAt;
            if (!ended) kill(pid, SIGKILL);
            int status = 0;
            waitpid(pid, &status, 0);
            close(master);
            run.status = ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            run.out = FileText(folder_ / "out.txt");
            return run;
        }
#endif
        // Output files of their own each run: Wine may still hold the last run's for a moment
        // after it ended, and a file still held cannot be made anew.
        return RunProgram(PYX_PYXTUNECTL, args, Env(), folder_ / ("run" + std::to_string(++runs_)));
    }
    std::optional<test::TempFolder> temp_;
    fs::path folder_;
    bool chinese_ = false;
    int runs_ = 0;
    Clock::duration silence_{};  // from the keep question to the tool's end
};

TEST_F(KeepQuestionProcessTest, WhatIsRefusedIsRefusedBeforeAnythingIsSent) {
    // `confirm` null runs without a terminal; "\x04" ends the input.
    struct Case { std::vector<std::string> args; std::u16string profile; const char *confirm, *expected; };
    const Case cases[] = {
        {{"apply", "extreme"}, u"", nullptr, "extreme needs --yes: there is no terminal"},
        {{"profile", "load", "INI"}, u"DyaGpuClock=10\r\n", nullptr, "profile load needs --yes"},
        {{"apply", "performance", "--revert-after", "4"}, u"", nullptr, "--revert-after: \"4\" is not accepted"},
        {{"apply", "performance", "--yes", "--revert-after", "61"}, u"", nullptr, "from 5 to 60"},
        {{"profile", "load", "INI", "--yes"}, u"DyaGpuClock=99999\r\n", nullptr, "99999 MHz is outside GPU 0's range"},
        {{"profile", "load", "INI", "--yes"}, u"PowerTarget=500\r\n", nullptr, "500 % is outside GPU 0's range"},
        {{"profile", "load", "INI", "--yes"}, u"ThermalLimit=93\r\n", nullptr,
         "[Gpu1] ThermalLimit=93 C is outside GPU 0's range 65..92 C"},
#ifndef _WIN32
        {{"apply", "extreme"}, u"", "\x04", "extreme was not applied: the warning was not confirmed"},
#endif
    };
    for (Case c : cases) {
        const json before = Start(c.args, c.profile);
        const ProgramRun run = Run(c.args, c.confirm);
        EXPECT_EQ(run.status, 2) << c.expected << "\n" << run.err;
        EXPECT_NE(run.err.find(c.expected), std::string::npos) << run.err;
        for (const std::string& line : test::TraceFile(folder_ / "trace.txt").Lines())
            EXPECT_TRUE(line.find("Set") == std::string::npos && line.rfind("Restore", 0) != 0) << c.expected << line;
        EXPECT_EQ(json::diff(before, Kept()), json::array()) << c.expected;
    }
}

#ifndef _WIN32
TEST_F(KeepQuestionProcessTest, OnlyYesKeepsEverythingElseRevertsExactly) {
    struct Case { std::vector<std::string> args; const char* answer; bool kept; const char* question; bool chinese = false; };
    const Case cases[] = {  // a null answer types nothing
        {{"apply", "extreme", "--json"}, "y\n", true, "[y/N] (reverted in 15 s) "},
        {{"apply", "extreme", "--json", "--revert-after", "60"}, "n\n", false, "[y/N] (reverted in 60 s) "},
        {{"apply", "performance", "--json"}, "\n", false, "[y/N] (reverted in 15 s) "},
        {{"apply", "performance", "--json"}, "\x04", false, "[y/N] (reverted in 15 s) "},
        {{"apply", "extreme", "--json", "--revert-after", "5"}, nullptr, false, "[y/N] (reverted in 5 s) "},
        {{"profile", "load", "INI"}, "no\n", false, "[y/N] (reverted in 15 s) "},
        // Under a Chinese locale both questions are asked in Chinese and take the same answers:
        // y or yes in any case keeps, anything else (a Chinese "no" too) reverts.
        {{"apply", "extreme", "--json"}, "YES\n", true, "保留这些设置吗？[y/N]（15 秒后自动恢复） ", true},
        {{"profile", "load", "INI"}, "否\n", false, "保留这些设置吗？[y/N]（15 秒后自动恢复） ", true},
    };
    for (Case c : cases) {
        chinese_ = c.chinese;
        const json before = Start(c.args, u"DyaGpuClock=50\r\nDyaMemClock=20\r\nPowerTarget=110\r\n");
        const std::string what = c.args[1] + " answered " + json(c.answer ? c.answer : "nothing").dump();
        const ProgramRun run = Run(c.args, "y\n", c.answer);
        ASSERT_EQ(run.status, 0) << what << "\n" << run.err;
        EXPECT_NE(run.err.find(c.question), std::string::npos) << what << "\n" << run.err;
        EXPECT_TRUE(c.answer || silence_ >= 4500ms) << "reverted early";
        const json after = Kept(), changed = json::diff(before, after);
        EXPECT_EQ(changed.empty(), !c.kept) << what << ": " << changed.dump();
        EXPECT_EQ(after[0]["tuning"]["graphics"]["deltaKHz"].get<int64_t>() / 1000, c.kept ? 84 : -50) << what;
        const bool saysKept = c.args[0] == "apply" ? json::parse(run.out)["kept"].get<bool>()
                                                   : run.out.find("Reverted") == std::string::npos;
        EXPECT_EQ(saysKept, c.kept) << what << "\n" << run.out;
    }
}
#endif

}  // namespace
}  // namespace pyx::proctest
