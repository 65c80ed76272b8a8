// How pyxtunectl reads its own command line: help wherever it is asked for, its version, and
// messages that say what is wrong with a word or a value.
#include <regex>

#include "CliTestRig.h"

namespace pyx::clitest {
namespace {

TEST_F(CliTest, CommandLinesGetTheirHelpVersionOrAMessageThatSaysWhatIsWrong) {
    const auto custom = [](std::vector<std::string> values) {
        values.insert(values.begin(), {"apply", "custom", "--yes", "--mem", "0", "--power", "100", "--fan", "50"});
        return values;
    };
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* expected;  // on standard output for status 0, else on standard error
        bool opensCards;       // only a card knows its ranges
    };
    const Case cases[] = {
        {{"-h", "list"}, 0, "usage: pyxtunectl list", false},
        {{"-v", "--help", "profile", "show"}, 0, "usage: pyxtunectl profile", false},
        {{"apply", "custom", "--core", "-h"}, 0, "usage: pyxtunectl apply", false},
        {{"-h", "turbo"}, 2, "unknown command \"turbo\"", false},
        {{"--version"}, 0, "pyxtunectl ", false},
        {{"apply", "turbo", "--yes"}, 2, "apply: unknown mode \"turbo\" (accepted modes: extreme, performance, common, custom)",
         false},
        {{"apply", "extreme", "now", "--yes"}, 2, "\"now\" follows \"extreme\": apply takes one mode", false},
        {custom({"--core", "1e3"}), 2, "--core: \"1e3\" is not accepted: not a whole number of MHz", false},
        {custom({"--core", "5000000"}), 2, "--core: 5000000 MHz is outside GPU 0's range -200..200 MHz", true},
        {custom({"--core", "-99999999999999999999"}), 2,
         "--core: -99999999999999999999 MHz is outside GPU 0's range -200..200 MHz", true},
        {{"profile", "save", ""}, 2, "an empty FILE names no file", false},
        {{"profile", "load", "", "--yes"}, 2, "an empty FILE names no file", false},
    };
    for (const Case& c : cases) {
        fs::remove(state_);
        const CliRun run = Run(c.args);
        const std::string label = c.args[0] + " " + c.args[1 % c.args.size()] + ": ";
        EXPECT_EQ(run.status, c.status) << label << run.err;
        EXPECT_NE((c.status == 0 ? run.out : run.err).find(c.expected), std::string::npos) << label << run.out << run.err;
        EXPECT_EQ(fs::exists(state_), c.opensCards) << label;
    }
    EXPECT_TRUE(TraceOf("SetPstates20").empty()) << Trace();
    // The version is the project's, alone on its line.
    const std::string version = Run({"--version"}).out;
    EXPECT_TRUE(std::regex_match(version, std::regex("pyxtunectl [0-9]+(\\.[0-9]+)+\n"))) << version;
}

}  // namespace
}  // namespace pyx::clitest
