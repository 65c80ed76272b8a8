#include "app/SettingsLocation.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "tests/support/TestEnvironment.h"
#include "tests/app/CIniTestFiles.h"

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
        EXPECT_EQ(location.folder, c.folder) << c.what;
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
    EXPECT_EQ(SettingsLocationFor(installed, false).folder, installed);
    EXPECT_EQ(SettingsLocationFor(installed, true).folder, installed / "simulated");
    EXPECT_FALSE(SettingsLocationFor(installed, false).userConfig);
    EXPECT_EQ(SettingsLocationFor(folder.Path(), false).folder, folder.Path());
}
#else
// The XDG rule for an installed program (Windows keeps no settings under the user's folders).
TEST(SettingsLocationTest, AnInstalledProgramKeepsItsSettingsUnderTheConfigurationHome) {
    CIniTestFolder folder;
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", folder.Path().string());
        EXPECT_EQ(SettingsLocationFor("/usr/lib/pyxtune", false).folder, folder.Path() / "pyxtune");
        EXPECT_EQ(SettingsLocationFor("/opt/pyxtune/bin", true).folder, folder.Path() / "pyxtune" / "simulated");
        // A copy in a folder of the user's own stays beside itself.
        fs::create_directory(folder.Path() / "bin");
        EXPECT_EQ(SettingsLocationFor(folder.Path() / "bin", false).folder, folder.Path() / "bin");
    }
    {
        // A relative configuration home is not one; HOME's .config is used instead.
        ScopedEnv xdg("XDG_CONFIG_HOME", "relative/config");
        ScopedEnv home("HOME", folder.Path().string());
        EXPECT_EQ(SettingsLocationFor("/usr/bin", false).folder, folder.Path() / ".config" / "pyxtune");
    }
}
#endif

TEST(SettingsLocationTest, TheFolderIsMadeWithEveryMissingFolderAboveItForThisUserOnly) {
    CIniTestFolder folder;
    const fs::path settings = folder.Path() / ".config" / "pyxtune" / "simulated";
    std::string error;
    ASSERT_TRUE(MakeSettingsFolder(settings, error)) << error;
    EXPECT_TRUE(fs::is_directory(settings));
#ifndef _WIN32
    for (const fs::path& made : {folder.Path() / ".config", folder.Path() / ".config" / "pyxtune", settings})
        EXPECT_EQ(fs::status(made).permissions() & fs::perms::all, fs::perms::owner_all) << made;
#endif
    EXPECT_TRUE(MakeSettingsFolder(settings, error)) << "an existing folder is fine";

    // A file in the way is reported, not replaced.
    const fs::path blocked = folder.WriteBytes("blocked", {});
    EXPECT_FALSE(MakeSettingsFolder(blocked / "pyxtune", error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(fs::is_regular_file(blocked));
}

}  // namespace
}  // namespace pyx
