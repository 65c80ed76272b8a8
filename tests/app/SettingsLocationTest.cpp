#include "app/SettingsLocation.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

#include "tests/support/TempFolder.h"
#include "tests/support/TestEnvironment.h"
#include "tests/app/CIniTestFiles.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace pyx {
namespace {

namespace fs = std::filesystem;

TEST(SettingsLocationTest, TheRuleOverEveryKindOfProgramAndBackEnd) {
    const fs::path home = "/home/ann/.config";
    struct Case {
        const char* what;
        SettingsPlaceFacts facts;
        fs::path folder;
        bool userConfig;
    };
    const Case cases[] = {
        {"a build or unpacked copy", {"/work/pyxtune/bin", false, false, false, home}, "/work/pyxtune/bin", false},
        {"the same on the simulator", {"/work/pyxtune/bin", true, false, false, home}, "/work/pyxtune/bin/simulated",
         false},
        {"an installed program", {"/usr/bin", false, false, true, home}, "/home/ann/.config/pyxtune", true},
        {"an installed program on the simulator", {"/opt/pyxtune", true, false, true, home},
         "/home/ann/.config/pyxtune/simulated", true},
        {"Windows, wherever it lies", {"C:/Program Files/Pyxtune", false, true, true, home}, "C:/Program Files/Pyxtune",
         false},
        {"Windows on the simulator", {"C:/Pyxtune", true, true, false, {}}, "C:/Pyxtune/simulated", false},
        {"installed, with no home to be found", {"/usr/bin", true, false, true, {}}, "/usr/bin/simulated", false},
    };
    for (const Case& c : cases) {
        const SettingsLocation location = DecideSettingsLocation(c.facts);
        EXPECT_EQ(location.chosen, c.folder) << c.what;
        EXPECT_EQ(location.root, c.userConfig ? c.facts.configHome : c.facts.programFolder) << c.what;
        EXPECT_EQ(location.userConfig, c.userConfig) << c.what;
        EXPECT_EQ(location.simulated, c.facts.simulated) << c.what;
        EXPECT_EQ(location.TuningFile(), c.folder / "Preformance.txt") << c.what;
        EXPECT_EQ(location.LedFile(), c.folder / "Led.txt") << c.what;
        EXPECT_EQ(location.ProfileFolder(), c.folder / "Profile") << c.what;
    }
}

// Sets an environment variable for one scope and puts back what was there.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        test::SetEnv(name, value);
    }
    ~ScopedEnv() {
        if (old_)
            test::SetEnv(name_, *old_);
        else
            test::UnsetEnv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

#ifdef _WIN32
// The program runs elevated and keeps everything beside itself, even in a folder only an
// administrator may write, whatever the environment says.
TEST(SettingsLocationTest, OnWindowsTheSettingsLieBesideTheProgramWhereverItLies) {
    CIniTestFolder folder;
    ScopedEnv xdg("XDG_CONFIG_HOME", folder.Path().string());
    const fs::path installed = "C:/Program Files/Pyxtune";
    EXPECT_EQ(SettingsLocationFor(installed, false).chosen, installed);
    EXPECT_EQ(SettingsLocationFor(installed, true).chosen, installed / "simulated");
    EXPECT_FALSE(SettingsLocationFor(installed, false).userConfig);
    EXPECT_EQ(SettingsLocationFor(folder.Path(), false).chosen, folder.Path());
}
#else
// The XDG rule for an installed program (Windows keeps no settings under the user's folders).
TEST(SettingsLocationTest, AnInstalledProgramKeepsItsSettingsUnderTheConfigurationHome) {
    CIniTestFolder folder;
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", folder.Path().string());
        EXPECT_EQ(SettingsLocationFor("/usr/lib/pyxtune", false).chosen, folder.Path() / "pyxtune");
        EXPECT_EQ(SettingsLocationFor("/opt/pyxtune/bin", true).chosen, folder.Path() / "pyxtune" / "simulated");
        // A copy in a folder of the user's own stays beside itself.
        fs::create_directory(folder.Path() / "bin");
        EXPECT_EQ(SettingsLocationFor(folder.Path() / "bin", false).chosen, folder.Path() / "bin");
    }
    {
        // A relative configuration home is not one; HOME's .config is used instead.
        ScopedEnv xdg("XDG_CONFIG_HOME", "relative/config");
        ScopedEnv home("HOME", folder.Path().string());
        EXPECT_EQ(SettingsLocationFor("/usr/bin", false).chosen, folder.Path() / ".config" / "pyxtune");
    }
}
#endif

TEST(SettingsLocationTest, TheFolderIsMadeWithEveryMissingFolderAboveItForThisUserOnly) {
    CIniTestFolder folder;
    SettingsPlaceFacts facts{"/usr/bin", true, false, true, folder.Path() / ".config"};
    SettingsLocation location = DecideSettingsLocation(facts);
    const fs::path settings = folder.Path() / ".config" / "pyxtune" / "simulated";
    std::string error;
    ASSERT_TRUE(MakeSettingsFolder(location, error)) << error;
    EXPECT_TRUE(fs::is_directory(settings));
#ifndef _WIN32
    for (const fs::path& made : {folder.Path() / ".config", folder.Path() / ".config" / "pyxtune", settings})
        EXPECT_EQ(fs::status(made).permissions() & fs::perms::all, fs::perms::owner_all) << made;
#endif
    EXPECT_TRUE(MakeSettingsFolder(location, error)) << "an existing folder is fine";

    // A file in the way is reported, not replaced.
    const fs::path blocked = folder.WriteBytes("blocked", {});
    facts.configHome = blocked;
    location = DecideSettingsLocation(facts);
    EXPECT_FALSE(MakeSettingsFolder(location, error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(fs::is_regular_file(blocked));
}

#ifndef _WIN32
// Root started with a user's environment (sudo -E) finds that user's configuration home: what
// lies below it is used only when it is root's own and nobody else's to write, or is made now.
// Otherwise nothing at all is used, nor any other place instead, and the reason is given.
TEST(SettingsLocationTest, AFolderAnotherUserCouldHavePreparedIsNotUsedAndSaysWhy) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can give a folder to another user";
    enum class Plant { Nothing, Folder, Link, File };
    struct Case {
        const char* what;
        const char* at;  // below the configuration home; the settings go to "pyxtune/simulated"
        Plant plant;
        mode_t mode;
        uid_t owner;
        const char* reason;  // after "Settings are not used: <home>/<at> "; null: the folder is used
    };
    const Case cases[] = {
        {"a good folder", "pyxtune", Plant::Folder, 0700, 0, nullptr},
        {"a folder not there yet", "pyxtune", Plant::Nothing, 0, 0, nullptr},
        {"a link as the folder", "pyxtune/simulated", Plant::Link, 0, 0, "is a link"},
        {"another user's folder", "pyxtune", Plant::Folder, 0700, 65534, "is owned by another user (uid 65534)"},
        {"a folder its group may write", "pyxtune", Plant::Folder, 0770, 0, "can be written by other users"},
        {"a folder everybody may write", "pyxtune/simulated", Plant::Folder, 0703, 0, "can be written by other users"},
        {"a file in its place", "pyxtune", Plant::File, 0, 0, "is not a folder"},
        // The configuration home itself ("" below): whoever may rename what lies in it could
        // swap a checked folder for a link later.
        {"another user's configuration home", "", Plant::Folder, 0700, 65534, "is owned by another user (uid 65534)"},
        {"a configuration home everybody may write", "", Plant::Folder, 0777, 0, "can be written by other users"},
        {"a sticky configuration home", "", Plant::Folder, 01777, 0, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const test::TempFolder home("pyx-config-"), elsewhere("pyx-elsewhere-");
        const fs::path planted = *c.at ? home.Path() / c.at : home.Path(), folder = home.Path() / "pyxtune" / "simulated";
        if (*c.at) {
            fs::create_directories(planted.parent_path());
            fs::permissions(planted.parent_path(), fs::perms::owner_all);
        }
        if (c.plant == Plant::Link) fs::create_directory_symlink(elsewhere.Path(), planted);
        if (c.plant == Plant::File) std::ofstream(planted) << "not a folder";
        if (c.plant == Plant::Folder) {
            ASSERT_TRUE(!*c.at || fs::create_directory(planted));
            ASSERT_EQ(::chmod(planted.c_str(), c.mode) | ::chown(planted.c_str(), c.owner, c.owner), 0);
        }
        ScopedEnv xdg("XDG_CONFIG_HOME", home.Path().string());
        SettingsLocation location = SettingsLocationFor("/usr/lib/pyxtune", true);
        std::string error;
        EXPECT_EQ(MakeSettingsFolder(location, error), c.reason == nullptr);
        const std::string reason = c.reason ? "Settings are not used: " + planted.string() + " " + c.reason : "";
        EXPECT_EQ(error, reason);
        EXPECT_EQ(location.WhyNotUsed(), reason);
        EXPECT_EQ(location.TuningFile().value_or("none"), c.reason ? fs::path("none") : folder / "Preformance.txt");
        EXPECT_EQ(location.File("Options.txt").has_value(), c.reason == nullptr);
        if (!c.reason) {
            EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all);
        }
        EXPECT_TRUE(fs::is_empty(elsewhere.Path())) << "something was made through the link";
    }
    // A program that cannot tell where it lies has none: the working folder is not one.
    SettingsLocation nowhere = SettingsLocationFor("", false);
    EXPECT_FALSE(nowhere.TuningFile().has_value());
    EXPECT_EQ(nowhere.WhyNotUsed(), "Settings are not used: no folder for them could be found");
}
#endif

}  // namespace
}  // namespace pyx
