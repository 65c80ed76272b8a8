// Profiles as people hand them over: saved as UTF-8 by an editor or iconv, or no settings at
// all. The first load; the others are refused, the file named, before any card is opened.
#include "CliTestRig.h"

namespace pyx::clitest {
namespace {

TEST_F(CliTest, ProfileShowAndLoadReadUtf8AndNameWhatIsWrongWithOtherFiles) {
    const std::string utf8 = "[Gpu1]\r\nId=1b81\r\nPowerTarget=80\r\n", mark = "\xEF\xBB\xBF";
    const std::string random = "\x9A\x13\xF7\x5B\xC4\x88\x3D\xE9\x71";
    struct Case { std::string bytes; const char* action; int status; const char* expected; };
    const Case cases[] = {
        {utf8, "show", 0, "[Gpu1]\n  Id = 1b81\n  PowerTarget = 80\n"},
        {utf8, "load", 0, "Loaded "},
        {mark + utf8, "load", 0, "Loaded "},
        {random, "show", 1, ": is not valid UTF-8 or UTF-16LE text: the byte at offset 0 (0x9A)"},
        {random, "load", 1, ": is not valid UTF-8 or UTF-16LE text"},
        {std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16), "show", 1, ": holds no settings section (such as [Gpu1])"},
        {"", "show", 1, ": is empty"},
        {"", "load", 1, ": is empty"},
    };
    for (const Case& c : cases) {
        const fs::path file = folder_.Write("profile.ini", c.bytes);
        fs::remove(state_);
        const bool load = std::string(c.action) == "load";
        const CliRun run = load ? Run({"profile", "load", file.string(), "--yes"}) : Run({"profile", "show", file.string()});
        const std::string label = c.action + (": " + c.bytes.substr(0, 8));
        EXPECT_EQ(run.status, c.status) << label << run.err;
        if (c.status == 0) {
            EXPECT_NE(run.out.find(c.expected), std::string::npos) << label << run.out;
            EXPECT_TRUE(!load || Tuning(State())["power"]["currentPcm"] == 80000) << label;
        } else {
            EXPECT_NE(run.err.find("pyxtunectl profile: " + file.string() + c.expected), std::string::npos) << run.err;
            EXPECT_FALSE(fs::exists(state_)) << label;
        }
    }
    // A file that is not there is a bad argument, as before.
    const CliRun missing = Run({"profile", "show", (dir_ / "absent.ini").string()});
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("absent.ini: cannot be read as a settings file (does not exist)"), std::string::npos);
}

}  // namespace
}  // namespace pyx::clitest
