// Which copies of the driver's libraries the loader takes: the layouts distributions use are
// found, and anything a user other than root could have placed or changed is refused, saying
// why.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "gpu/NvApiLibrary.h"
#include "gpu/linux/LinuxNvApiSource.h"
#include "gpu/linux/NvmlLibrary.h"
#include "gpu/linux/TrustedLibraryLocator.h"
#include "tests/support/linux/RootOnlyFolder.h"

namespace pyx {
namespace {

namespace fs = std::filesystem;

constexpr fs::perms kFolderPerms = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                   fs::perms::others_read | fs::perms::others_exec;
constexpr fs::perms kFilePerms = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                 fs::perms::others_read;

// A scratch copy of the system folders, owned by whoever runs the tests.
class LocatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("pyx-trust-" + std::to_string(::getpid()));
        fs::remove_all(root_);
        fs::create_directories(root_);
        fs::permissions(root_, kFolderPerms);
        lib_ = LibraryTrust::UnderRoot(root_, ::geteuid()).systemFolders.front();
        MakeFolder(lib_ / "nvidia/current");
        oldCwd_ = fs::current_path();
    }
    void TearDown() override {
        fs::current_path(oldCwd_);
        fs::remove_all(root_);
    }
    void MakeFolder(const fs::path& folder) {
        fs::create_directories(folder);
        for (fs::path f = folder; f != root_ && f.has_parent_path(); f = f.parent_path()) fs::permissions(f, kFolderPerms);
    }
    fs::path Plant(const fs::path& folder, const std::string& name, const char* library = PYX_FAKE_NVAPI) {
        MakeFolder(folder);
        const fs::path target = folder / name;
        fs::copy_file(library, target, fs::copy_options::overwrite_existing);
        fs::permissions(target, kFilePerms);
        return target;
    }
    // Debian's layout: the file in nvidia/current, a link through /etc/alternatives.
    fs::path PlantDebianLayout(const std::string& name) {
        const fs::path file = Plant(lib_ / "nvidia/current", name);
        MakeFolder(root_ / "etc/alternatives");
        fs::create_symlink(file, root_ / "etc/alternatives" / ("nvidia--" + name));
        fs::create_symlink(root_ / "etc/alternatives" / ("nvidia--" + name), lib_ / name);
        return file;
    }
    TrustedLibraryLocator Locator() const { return TrustedLibraryLocator(LibraryTrust::UnderRoot(root_, ::geteuid())); }

    fs::path root_, lib_, oldCwd_;
};

TEST_F(LocatorTest, TheDebianLayoutIsFoundThroughTheAlternativesLinkAndLoaded) {
    const fs::path file = PlantDebianLayout(LinuxNvApiSource::kLibraryName);
    const LibraryOutcome found = Locator().Locate(LinuxNvApiSource::kLibraryName);
    ASSERT_EQ(found.state, LibraryState::Ready) << found.Message();
    EXPECT_EQ(found.path, fs::canonical(file).string()) << "where the links end counts";

    NvApiLibrary nv(std::make_unique<LinuxNvApiSource>(LibraryTrust::UnderRoot(root_, ::geteuid())));
    ASSERT_EQ(nv.Initialize(), kNvOk);
    uint32_t device = 0, sub = 0, rev = 0, ext = 0;
    EXPECT_EQ(nv.GetPCIIdentifiers(nullptr, &device, &sub, &rev, &ext), kNvOk);
    EXPECT_EQ(device, 0xFA4E10DEu);
    EXPECT_EQ(nv.Outcome().state, LibraryState::Ready);
}

TEST_F(LocatorTest, AFileInASubfolderOfAnotherSystemFolderIsFound) {
    // Fedora's and NVIDIA's installer's layouts: /usr/lib64, or a folder of its own below it.
    const fs::path lib64 = LibraryTrust::UnderRoot(root_, ::geteuid()).systemFolders[2];
    ASSERT_EQ(lib64.filename(), "lib64");
    const fs::path file = Plant(lib64 / "nvidia", "libnvidia-ml.so.1");
    fs::create_symlink(file, lib64 / "libnvidia-ml.so.1");
    const LibraryOutcome found = Locator().Locate("libnvidia-ml.so.1");
    EXPECT_EQ(found.state, LibraryState::Ready) << found.Message();
}

TEST_F(LocatorTest, EachRefusalSaysWhy) {
    const fs::path file = PlantDebianLayout(LinuxNvApiSource::kLibraryName);
    const auto refusal = [&] {
        const LibraryOutcome found = Locator().Locate(LinuxNvApiSource::kLibraryName);
        EXPECT_EQ(found.state, LibraryState::Refused);
        return found.Message();
    };

    // A folder on the way down that others may write: the file could be swapped.
    fs::permissions(lib_ / "nvidia", fs::perms::group_write, fs::perm_options::add);
    EXPECT_EQ(refusal(), "libnvidia-api.so.1: found but refused: " + (lib_ / "nvidia").string() +
                             " can be written by users other than its owner");
    fs::permissions(lib_ / "nvidia", fs::perms::group_write, fs::perm_options::remove);

    fs::permissions(file, fs::perms::others_write, fs::perm_options::add);
    EXPECT_NE(refusal().find(file.string() + " can be written"), std::string::npos);
    fs::permissions(file, fs::perms::others_write, fs::perm_options::remove);

    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(file.c_str(), 65534, 65534), 0);
        EXPECT_NE(refusal().find(file.string() + " belongs to user 65534, not root"), std::string::npos);
        ASSERT_EQ(::chown(file.c_str(), 0, 0), 0);
    }

    // The alternatives link leads out of the system folders.
    const fs::path elsewhere = Plant(root_ / "home/user", "libnvidia-api.so.1");
    fs::remove(root_ / "etc/alternatives/nvidia--libnvidia-api.so.1");
    fs::create_symlink(elsewhere, root_ / "etc/alternatives/nvidia--libnvidia-api.so.1");
    EXPECT_EQ(refusal(), "libnvidia-api.so.1: found but refused: " + fs::canonical(elsewhere).string() +
                             " lies outside the system library folders");

    // A link that leads nowhere.
    fs::remove(root_ / "etc/alternatives/nvidia--libnvidia-api.so.1");
    EXPECT_NE(refusal().find("is a link that leads nowhere"), std::string::npos);

    // And nothing there at all.
    fs::remove(lib_ / LinuxNvApiSource::kLibraryName);
    EXPECT_EQ(Locator().Locate(LinuxNvApiSource::kLibraryName).Message(), "libnvidia-api.so.1: not installed");
}

TEST_F(LocatorTest, ARefusedLibraryIsReportedAsRefusedByTheLayer) {
    const fs::path file = PlantDebianLayout(LinuxNvApiSource::kLibraryName);
    fs::permissions(file, fs::perms::group_write, fs::perm_options::add);
    NvApiLibrary nv(std::make_unique<LinuxNvApiSource>(LibraryTrust::UnderRoot(root_, ::geteuid())));
    EXPECT_EQ(nv.Initialize(), kNvLibraryNotFound);
    EXPECT_EQ(nv.Outcome().state, LibraryState::Refused);
    EXPECT_NE(nv.Outcome().Message().find("found but refused: "), std::string::npos);
}

TEST_F(LocatorTest, CopiesBesideTheProgramInTheCurrentDirectoryOrOnLdLibraryPathAreNeverLoaded) {
    const fs::path planted = root_ / "planted";
    Plant(planted, LinuxNvApiSource::kLibraryName);
    Plant(planted, NvmlLibrary::kLibraryName);
    fs::current_path(planted);
    const char* oldPath = std::getenv("LD_LIBRARY_PATH");
    const std::string saved = oldPath ? oldPath : "";
    ::setenv("LD_LIBRARY_PATH", planted.c_str(), 1);

    // The machine's own system folders: whatever is installed there, never the planted copy.
    const TrustedLibraryLocator system(LibraryTrust::System());
    for (const char* name : {LinuxNvApiSource::kLibraryName, NvmlLibrary::kLibraryName}) {
        const LibraryOutcome found = system.Locate(name);
        EXPECT_EQ(found.path.find(planted.string()), std::string::npos) << found.Message();
    }
    NvmlLibrary nvml(LibraryTrust::System());
    nvml.EnsureReady();
    EXPECT_EQ(nvml.Outcome().path.find(planted.string()), std::string::npos);
    // Relative folder names (the current directory by another name) count for nothing.
    const TrustedLibraryLocator relative(LibraryTrust{{".", "planted", ""}, ::geteuid()});
    EXPECT_EQ(relative.Locate(LinuxNvApiSource::kLibraryName).state, LibraryState::NotInstalled);
    // Nor does a name that carries a path.
    EXPECT_EQ(Locator().Locate("../planted/libnvidia-api.so.1").state, LibraryState::NotInstalled);

    if (oldPath) ::setenv("LD_LIBRARY_PATH", saved.c_str(), 1); else ::unsetenv("LD_LIBRARY_PATH");
}

TEST_F(LocatorTest, ALibraryRootCountsOnlyWhenNobodyButRootCouldHaveBuiltIt) {
    // A root below a folder everyone may write: refused, and said why.
    const fs::path open = root_ / "open";
    fs::create_directories(open / "root");
    fs::permissions(open, fs::perms::all);
    EXPECT_NE(LibraryTrust::WhyRootUntrusted(open / "root").find(" can be written by users other than its owner"),
              std::string::npos);
    ::setenv("PYXTUNE_LIBRARY_ROOT", (open / "root").c_str(), 1);
    std::string ignored;
    const LibraryTrust trust = LibraryTrust::FromEnvironment(&ignored);
    ::unsetenv("PYXTUNE_LIBRARY_ROOT");
    EXPECT_EQ(trust.systemFolders, LibraryTrust::System().systemFolders);
    EXPECT_NE(ignored.find("PYXTUNE_LIBRARY_ROOT ignored: "), std::string::npos);
    EXPECT_NE(LibraryTrust::WhyRootUntrusted("relative/root"), "");
    // "/" itself, owned by root and closed to others, stands for itself.
    if (::geteuid() == 0) {
        EXPECT_EQ(LibraryTrust::WhyRootUntrusted("/"), "");
        // A root reached through a link is resolved once, and the folders used are those the
        // check saw, not the link's name resolved again.
        std::string whyNot;
        const std::optional<test::RootOnlyFolder> scratch = test::RootOnlyFolder::Make(whyNot);
        ASSERT_TRUE(scratch) << whyNot;
        fs::create_directories(scratch->Path() / "real");
        fs::create_directory_symlink(scratch->Path() / "real", scratch->Path() / "link");
        ::setenv("PYXTUNE_LIBRARY_ROOT", (scratch->Path() / "link").c_str(), 1);
        const LibraryTrust linked = LibraryTrust::FromEnvironment(&ignored);
        ::unsetenv("PYXTUNE_LIBRARY_ROOT");
        ASSERT_FALSE(linked.systemFolders.empty());
        EXPECT_EQ(linked.systemFolders.front(),
                  LibraryTrust::UnderRoot(fs::canonical(scratch->Path() / "real")).systemFolders.front());
    }
}

}  // namespace
}  // namespace pyx
