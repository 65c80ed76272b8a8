#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "gpu/NvApiLibrary.h"
#include "gpu/linux/LinuxNvApiSource.h"

namespace pyx {
namespace {

namespace fs = std::filesystem;

class LinuxNvApiSourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Only files owned by root are trusted, so planting one takes root.
        if (::geteuid() != 0) GTEST_SKIP() << "needs root to plant a root-owned library";
        root_ = fs::temp_directory_path() / ("pyx-loader-" + std::to_string(::getpid()));
        fs::remove_all(root_);
        fs::create_directories(root_ / "system");
        fs::create_directories(root_ / "program");
        fs::create_directories(root_ / "cwd");
        oldCwd_ = fs::current_path();
    }
    void TearDown() override {
        if (root_.empty()) return;
        fs::current_path(oldCwd_);
        fs::remove_all(root_);
    }
    fs::path Plant(const fs::path& folder, const char* library = PYX_FAKE_NVAPI) {
        const fs::path target = folder / LinuxNvApiSource::kLibraryName;
        fs::copy_file(library, target, fs::copy_options::overwrite_existing);
        fs::permissions(target, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
        return target;
    }
    static NvStatus ReadDevice(NvApiLibrary& nv, uint32_t& device) {
        uint32_t sub = 0, rev = 0, ext = 0;
        return nv.GetPCIIdentifiers(nullptr, &device, &sub, &rev, &ext);
    }
    fs::path root_, oldCwd_;
};

TEST_F(LinuxNvApiSourceTest, LoadsTheLibraryFromASystemFolder) {
    Plant(root_ / "system");
    NvApiLibrary nv(std::make_unique<LinuxNvApiSource>(std::vector<fs::path>{root_ / "system"}));
    ASSERT_EQ(nv.Initialize(), kNvOk);
    uint32_t device = 0;
    EXPECT_EQ(ReadDevice(nv, device), kNvOk);
    EXPECT_EQ(device, 0xFA4E10DEu);
    EXPECT_EQ(nv.BackendName(), "nvapi");
    EXPECT_EQ(nv.BackendDescription(), (root_ / "system" / LinuxNvApiSource::kLibraryName).string());
}

TEST_F(LinuxNvApiSourceTest, NeverLoadsACopyFromTheProgramFolderOrTheCurrentDirectory) {
    Plant(root_ / "program");
    Plant(root_ / "cwd");
    fs::current_path(root_ / "cwd");
    // Only the real system folders count; neither planted copy may be found, whatever the
    // machine has installed.
    LinuxNvApiSource real;
    const fs::path found = real.Locate();
    EXPECT_NE(found.parent_path(), root_ / "cwd");
    EXPECT_NE(found.parent_path(), root_ / "program");
    // With only an (empty) system folder trusted, nothing is loaded at all.
    NvApiLibrary nv(std::make_unique<LinuxNvApiSource>(std::vector<fs::path>{root_ / "system"}));
    EXPECT_EQ(nv.Initialize(), kNvLibraryNotFound);
    // A relative folder name (the current directory by another name) is never trusted.
    NvApiLibrary relative(std::make_unique<LinuxNvApiSource>(std::vector<fs::path>{".", "cwd"}));
    EXPECT_EQ(relative.Initialize(), kNvLibraryNotFound);
}

TEST_F(LinuxNvApiSourceTest, RefusesFilesOthersCouldHaveReplaced) {
    const fs::path planted = Plant(root_ / "system");
    fs::permissions(planted, fs::perms::others_write, fs::perm_options::add);
    NvApiLibrary writable(std::make_unique<LinuxNvApiSource>(std::vector<fs::path>{root_ / "system"}));
    EXPECT_EQ(writable.Initialize(), kNvLibraryNotFound);

    // A link in a system folder that leads outside it.
    fs::remove(planted);
    const fs::path outside = Plant(root_ / "program");
    fs::create_symlink(outside, planted);
    NvApiLibrary linked(std::make_unique<LinuxNvApiSource>(std::vector<fs::path>{root_ / "system"}));
    EXPECT_EQ(linked.Initialize(), kNvLibraryNotFound);
}

TEST_F(LinuxNvApiSourceTest, ALibraryWithoutTheEntryPointGivesMinus1) {
    Plant(root_ / "system", PYX_FAKE_NVAPI_NOENTRY);
    NvApiLibrary nv(std::make_unique<LinuxNvApiSource>(std::vector<fs::path>{root_ / "system"}));
    EXPECT_EQ(nv.Initialize(), kNvFailed);
    uint32_t device = 0;
    EXPECT_EQ(ReadDevice(nv, device), kNvFailed);
}

// The fake answers by handle: 1 a name with bytes after its NUL, 2 a failure that fills the
// buffer, 3 a name of all 64 bytes, any other not a GPU.
TEST_F(LinuxNvApiSourceTest, TheCardsNameIsWhatGetFullNameWroteUpToItsFirstNul) {
    Plant(root_ / "system");
    struct Case { bool known; uintptr_t handle; std::optional<std::string> name; };
    const Case cases[] = {{true, 1, "NVIDIA GeForce RTX 4070"}, {true, 2, std::nullopt},
                          {true, 3, std::string(64, 'N')},      {true, 9, std::nullopt},
                          {false, 1, std::nullopt}};
    for (const Case& c : cases) {
        c.known ? ::unsetenv("PYX_FAKE_NVAPI_NO_FULL_NAME") : ::setenv("PYX_FAKE_NVAPI_NO_FULL_NAME", "1", 1);
        LinuxNvApiSource source(std::vector<fs::path>{root_ / "system"});
        NvQueryInterfaceFn query = nullptr;
        ASSERT_EQ(source.Open(query), kNvOk);
        EXPECT_EQ(source.CardName(reinterpret_cast<void*>(c.handle)), c.name) << c.handle << " " << c.known;
        source.Close();
        EXPECT_EQ(source.CardName(reinterpret_cast<void*>(c.handle)), std::nullopt) << "closed: nothing to ask";
    }
    ::unsetenv("PYX_FAKE_NVAPI_NO_FULL_NAME");
}

}  // namespace
}  // namespace pyx
