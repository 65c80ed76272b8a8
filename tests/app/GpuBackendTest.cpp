// The back-end chosen at start: the simulator only where no driver library is installed; a
// driver library that is there but refused or failing is chosen all the same, so its failure
// is shown instead of simulated cards.
#include "app/GpuBackend.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "gpu/NvApiLibrary.h"
#include "gpu/linux/TrustedLibraryLocator.h"
#include "tests/support/linux/RootOnlyFolder.h"

namespace pyx {
namespace {

namespace fs = std::filesystem;

class GpuBackendChoiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The root stands for "/", so it must lie where only root can write.
        std::string whyNot;
        scratch_ = test::RootOnlyFolder::Make(whyNot);
        if (!scratch_) GTEST_SKIP() << "no scratch root can stand for /: " << whyNot;
        root_ = scratch_->Path();
        lib_ = LibraryTrust::UnderRoot(root_).systemFolders.front();
        fs::create_directories(lib_);
        for (fs::path f = lib_; f != root_; f = f.parent_path())
            fs::permissions(f, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                   fs::perms::others_read | fs::perms::others_exec);
        ASSERT_EQ(LibraryTrust::WhyRootUntrusted(root_), "");
        Keep("PYXTUNE_LIBRARY_ROOT");
        Keep("PYXTUNE_GPU_BACKEND");
        Keep("PYXTUNE_SIM_SCENARIO");
        Keep("PYXTUNE_SIM_STATE");
        ::setenv("PYXTUNE_LIBRARY_ROOT", root_.c_str(), 1);
        ::unsetenv("PYXTUNE_GPU_BACKEND");
        ::unsetenv("PYXTUNE_SIM_SCENARIO");
        ::unsetenv("PYXTUNE_SIM_STATE");
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_)
            if (value) ::setenv(name.c_str(), value->c_str(), 1); else ::unsetenv(name.c_str());
    }
    void Keep(const char* name) {
        const char* value = std::getenv(name);
        saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
    // Something in the driver library's place: the tests' NVML stand-in, which has no NvAPI
    // entry point.
    fs::path PlantNotNvApi() {
        const fs::path file = lib_ / "libnvidia-api.so.1";
        fs::copy_file(PYX_FAKE_NVML, file);
        fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                  fs::perms::others_read);
        return file;
    }

    std::optional<test::RootOnlyFolder> scratch_;
    fs::path root_, lib_;
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(GpuBackendChoiceTest, WithoutADriverLibraryTheSimulatorIsChosenAndTheReasonKept) {
    GpuBackendChoice choice = ChooseGpuBackendFromEnvironment();
    ASSERT_TRUE(choice.source);
    EXPECT_EQ(choice.source->BackendName(), "sim");
    EXPECT_EQ(choice.driver.Message(), "libnvidia-api.so.1: not installed");
}

TEST_F(GpuBackendChoiceTest, ARefusedDriverLibraryIsStillTheChoiceAndSaysWhy) {
    const fs::path file = PlantNotNvApi();
    fs::permissions(file, fs::perms::others_write, fs::perm_options::add);
    GpuBackendChoice choice = ChooseGpuBackendFromEnvironment();
    ASSERT_TRUE(choice.source);
    EXPECT_EQ(choice.source->BackendName(), "nvapi");
    EXPECT_EQ(choice.driver.state, LibraryState::Refused);
    NvApiLibrary library(std::move(choice.source));
    EXPECT_NE(library.Initialize(), kNvOk);
    EXPECT_EQ(library.Outcome().Message(),
              "libnvidia-api.so.1: found but refused: " + fs::canonical(file).string() +
                  " can be written by users other than its owner");
}

TEST_F(GpuBackendChoiceTest, ALibraryWithoutTheEntryPointIsFoundButRefused) {
    PlantNotNvApi();
    GpuBackendChoice choice = ChooseGpuBackendFromEnvironment();
    ASSERT_TRUE(choice.source);
    EXPECT_EQ(choice.source->BackendName(), "nvapi");
    NvApiLibrary library(std::move(choice.source));
    EXPECT_EQ(library.Initialize(), kNvFailed);
    EXPECT_EQ(library.Outcome().Message(), "libnvidia-api.so.1: found but refused: it has no nvapi_QueryInterface");
    // Forced, the same.
    ::setenv("PYXTUNE_GPU_BACKEND", "nvapi", 1);
    EXPECT_EQ(ChooseGpuBackendFromEnvironment().source->BackendName(), "nvapi");
    ::setenv("PYXTUNE_GPU_BACKEND", "sim", 1);
    EXPECT_EQ(ChooseGpuBackendFromEnvironment().source->BackendName(), "sim");
}

}  // namespace
}  // namespace pyx
