// A start removes the private temporary folders its user's ended processes left behind, and
// nothing else: not a folder whose process runs, not another user's, not through a link.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

#include "app/PrivateTempFolder.h"
#include "tests/support/TempFolder.h"

namespace pyx {
namespace {

namespace fs = std::filesystem;

TEST(PrivateTempFolder, LeftoversGoOnlyWhenTheyAreTheUsersOwnAndTheirProcessEnded) {
    test::TempFolder base("pyx-leftovers-");
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ASSERT_GT(child, 0);
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    const std::string ended = std::to_string(child), running = std::to_string(::getppid());
    const fs::path linked = base.Path() / "linked";
    fs::create_directories(linked / "inside");
    const bool root = ::geteuid() == 0;  // only root can give a folder to another user
    struct Case {
        const char* what;
        std::string name;
        bool otherUsers, link, removed;
    };
    const Case cases[] = {
        {"own, its process ended", "pyxtune-bios-" + ended + "-Ab12Cd", false, false, true},
        {"own, its process runs", "pyxtune-bios-" + running + "-Ab12Cd", false, false, false},
        {"another user's, its process ended", "pyxtune-bios-" + ended + "-Ef34Gh", true, false, false},
        {"a link, its process ended", "pyxtune-bios-" + ended + "-link", false, true, false},
        {"a name without a process", "pyxtune-bios-Ab12Cd", false, false, false},
        {"another program's", "pyxtunectl-bios-" + ended + "-Ab12Cd", false, false, false},
    };
    for (const Case& c : cases) {
        const fs::path folder = base.Path() / c.name;
        if (c.link) {
            fs::create_directory_symlink(linked, folder);
            continue;
        }
        fs::create_directories(folder / "sub");
        std::ofstream(folder / "sub" / "PMOut") << "dump";
        if (c.otherUsers && root) {
            ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
        }
    }
    PrivateTempFolder::RemoveLeftovers(base.Path(), "pyxtune-bios-");
    for (const Case& c : cases) {
        if (root || !c.otherUsers) {
            EXPECT_EQ(fs::exists(fs::symlink_status(base.Path() / c.name)), !c.removed) << c.what;
        }
    }
    EXPECT_TRUE(fs::exists(linked / "inside")) << "removed through the link";
}

}  // namespace
}  // namespace pyx

#endif
