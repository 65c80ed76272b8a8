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
    struct Case {
        const char* what;
        fs::path file;
        std::string reason;
        bool fullDisk;
    };
    for (const Case& c : {Case{"full disk", kept, test::FileSizeLimit::Reason(), true},
                          Case{"no such folder", dir_ / "absent" / "x.ini", std::strerror(ENOENT), false},
                          Case{"a folder in its place", dir_ / "folder.ini", std::strerror(EISDIR), false}}) {
        SCOPED_TRACE(c.what);
        std::optional<test::FileSizeLimit> limit;
        if (c.fullDisk) {
            ASSERT_TRUE(limit.emplace(64).Active());
        }
        const CliRun run = Run({"profile", "save", c.file.string()});
        limit.reset();
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find(c.file.string() + ": cannot be written: " + c.reason), std::string::npos) << run.err;
    }
    EXPECT_EQ(FileText(kept), "old");
}

}  // namespace
}  // namespace pyx::clitest

#endif
