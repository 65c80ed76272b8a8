// A profile that cannot be written is refused with the system's own reason, and the file that
// was there stays as it was.
#ifndef _WIN32

#include <cerrno>
#include <cstring>
#include <optional>

#include "tests/cli/CliTestRig.h"
#include "tests/support/linux/FileSizeLimit.h"

namespace pyx::clitest {
namespace {

TEST_F(CliTest, AProfileThatCannotBeWrittenIsRefusedWithTheSystemsReason) {
    test::UnsetEnv("PYXTUNE_SIM_STATE");  // only the profile is written: the disk is full for it alone
    const fs::path kept = folder_.Write("kept.ini", "old");
    fs::create_directory(dir_ / "folder.ini");
    UseScenario("led-two-cards.json");
    const CliRun list = Run({"list", "--json"});
    ASSERT_EQ(list.status, 0) << list.err;
    const fs::path lighting =
        fs::path(nlohmann::json::parse(list.out).at("settingsFolder").get<std::string>()) / "Led.txt";
    const std::vector<std::string> lightTwoCards = {"led",  "--gpu",  "0",      "--target", "zone-main",
                                                    "--mode", "static", "--color", "00ff00"};
    struct Case {
        const char* what;
        std::vector<std::string> args;
        fs::path file;
        std::string reason;
        bool fullDisk;
    };
    for (const Case& c :
         {Case{"full disk", {"profile", "save", kept.string()}, kept, test::FileSizeLimit::Reason(), true},
          Case{"no such folder", {"profile", "save", (dir_ / "absent" / "x.ini").string()}, dir_ / "absent" / "x.ini",
               std::strerror(ENOENT), false},
          Case{"a folder in its place", {"profile", "save", (dir_ / "folder.ini").string()}, dir_ / "folder.ini",
               std::strerror(EISDIR), false},
          Case{"the lighting of two cards on a full disk", lightTwoCards, lighting, test::FileSizeLimit::Reason(),
               true}}) {
        SCOPED_TRACE(c.what);
        std::optional<test::FileSizeLimit> limit;
        if (c.fullDisk) {
            ASSERT_TRUE(limit.emplace(64).Active());
        }
        const CliRun run = Run(c.args);
        limit.reset();
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find(c.file.string() + ": cannot be written: " + c.reason), std::string::npos) << run.err;
    }
    EXPECT_EQ(FileText(kept), "old");
}

}  // namespace
}  // namespace pyx::clitest

#endif
