// NVIDIA's own Linux driver libraries as Debian 12 installs them (libnvidia-api1 and
// libnvidia-ml1 535, fetched by the test fixture into the build tree), on a machine without
// an NVIDIA GPU: the loader takes them, the ids answer as the driver answers them, and a
// driver that cannot start is reported as exactly that.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "app/GpuBackend.h"
#include "cli/Cli.h"
#include "gpu/NvApiIds.h"
#include "gpu/NvApiLibrary.h"
#include "gpu/linux/FilledNvApiSource.h"
#include "gpu/linux/LinuxNvApiSource.h"
#include "gpu/linux/NvmlLibrary.h"
#include "tests/support/linux/RootOnlyFolder.h"

namespace pyx {
namespace {

namespace fs = std::filesystem;

// The unpacked tree, or a skip with the fixture's reason.
class RealDriver : public ::testing::Test {
protected:
    void SetUp() override {
        const fs::path dest = PYX_DRIVER_LIBS;
        if (!fs::exists(dest / "READY")) {
            std::ifstream in(dest / "SKIP");
            std::string why;
            std::getline(in, why);
            GTEST_SKIP() << "NVIDIA's driver libraries are not available: "
                         << (why.empty() ? "the fetch_driver_libraries fixture did not run" : why);
        }
        root_ = dest / "root";
        std::ifstream version(dest / "VERSION");
        std::getline(version, version_);
    }
    LibraryTrust Trust() const { return LibraryTrust::UnderRoot(root_, ::geteuid()); }
    std::unique_ptr<FilledNvApiSource> Driver() const {
        DriverFillOptions options;
        options.nvmlTrust = Trust();
        return std::make_unique<FilledNvApiSource>(std::make_unique<LinuxNvApiSource>(Trust()), std::move(options));
    }

    fs::path root_;
    std::string version_;
};

TEST_F(RealDriver, TheLoaderTakesBothLibrariesInDebiansLayout) {
    const TrustedLibraryLocator locator(Trust());
    const LibraryOutcome api = locator.Locate(LinuxNvApiSource::kLibraryName);
    ASSERT_EQ(api.state, LibraryState::Ready) << api.Message();
    EXPECT_TRUE(api.path.ends_with("/nvidia/current/libnvidia-api.so.1")) << api.path;
    const LibraryOutcome ml = locator.Locate(NvmlLibrary::kLibraryName);
    ASSERT_EQ(ml.state, LibraryState::Ready) << ml.Message();
    EXPECT_NE(ml.path.find("/nvidia/current/libnvidia-ml.so."), std::string::npos) << ml.path;
    // The link in the system folder passes through the alternatives folder.
    const fs::path link = Trust().systemFolders.front() / LinuxNvApiSource::kLibraryName;
    EXPECT_NE(fs::read_symlink(link).string().find("etc/alternatives"), std::string::npos);
}

TEST_F(RealDriver, EveryIdAnswersAsTheDriverAnswersIt) {
    LinuxNvApiSource source(Trust());
    NvQueryInterfaceFn query = nullptr;
    ASSERT_EQ(source.Open(query), kNvOk) << source.Probe().Message();
    // Measured on 535: NULL for the four I2C ids, the chip-set query and the two call hooks;
    // every other id the program uses is answered.
    const std::set<NvOp> unanswered = {NvOp::I2CRead, NvOp::I2CWrite, NvOp::I2CReadEx, NvOp::I2CWriteEx,
                                       NvOp::SysGetChipSetInfo};
    int answered = 0;
    for (size_t i = 0; i < kNvOpCount; ++i) {
        const NvOp op = static_cast<NvOp>(i);
        const bool has = query(kNvOpIds[i]) != nullptr;
        EXPECT_EQ(has, unanswered.count(op) == 0) << NvOpName(op) << " of " << version_;
        answered += has;
    }
    EXPECT_NE(query(kIdInitialize), nullptr);
    EXPECT_EQ(query(kIdBeforeCallHook), nullptr);
    EXPECT_EQ(query(kIdAfterCallHook), nullptr);
    answered += 1;  // NvAPI_Initialize
    EXPECT_EQ(answered, 28) << "of the 35 ids (32 operations, NvAPI_Initialize and the two hooks)";
    // The bus is answered, the slot is not: a card is taken to sit in slot 0 of its bus.
    EXPECT_NE(query(kIdGetBusId), nullptr);
    EXPECT_EQ(query(kIdGetBusSlotId), nullptr);
    // The card's name for the window comes from the driver's own library.
    EXPECT_NE(query(kIdGetFullName), nullptr);
    source.Close();

    // Filled in, the I2C ids go to the kernel and the rest stay the driver's.
    auto filled = Driver();
    ASSERT_EQ(filled->Open(query), kNvOk);
    for (const NvOp op : {NvOp::I2CRead, NvOp::I2CWrite, NvOp::I2CReadEx, NvOp::I2CWriteEx}) {
        EXPECT_NE(query(NvOpId(op)), nullptr);
        EXPECT_EQ(filled->AnswererOf(op), "kernel I2C");
    }
    EXPECT_EQ(filled->AnswererOf(NvOp::GetAllClockFrequencies), "NvAPI");
    EXPECT_EQ(filled->AnswererOf(NvOp::SysGetChipSetInfo), "nobody");
    filled->Close();
}

TEST_F(RealDriver, ADriverThatCannotStartIsReportedAsSuch) {
    NvApiLibrary nv(Driver());
    const NvStatus init = nv.Initialize();
    if (init == kNvOk) GTEST_SKIP() << "this machine has a working NVIDIA driver";
    EXPECT_EQ(init, -1);
    const LibraryOutcome outcome = nv.Outcome();
    EXPECT_EQ(outcome.state, LibraryState::InitFailed);
    EXPECT_EQ(outcome.Message(),
              "libnvidia-api.so.1: found, but NvAPI_Initialize returned -1 (no NVIDIA GPU, or the NVIDIA driver is not "
              "loaded)");
}

TEST_F(RealDriver, NvmlIsBoundByTheProgramsOwnDeclarationsAndItsStartFailureReported) {
    NvmlLibrary nvml(Trust());
    const bool ready = nvml.EnsureReady();
    if (ready) GTEST_SKIP() << "this machine has a working NVIDIA driver";
    const LibraryOutcome outcome = nvml.Outcome();
    EXPECT_EQ(outcome.state, LibraryState::InitFailed) << outcome.Message();
    EXPECT_EQ(outcome.initStatus, NvmlLibrary::kDriverNotLoaded);
    // Every versioned function the fallback calls is exported by 535.
    EXPECT_TRUE(nvml.DeviceByPciBusId && nvml.GetName && nvml.GetGpcClkVfOffset && nvml.SetGpcClkVfOffset &&
                nvml.GetGpcClkMinMaxVfOffset && nvml.GetMemClkVfOffset && nvml.SetMemClkVfOffset &&
                nvml.GetMemClkMinMaxVfOffset && nvml.GetPowerLimit && nvml.GetPowerDefaultLimit &&
                nvml.GetPowerLimitConstraints && nvml.SetPowerLimit && nvml.GetTemperatureThreshold &&
                nvml.SetTemperatureThreshold && nvml.GetNumFans && nvml.GetFanSpeed && nvml.GetMinMaxFanSpeed &&
                nvml.GetFanControlPolicy && nvml.SetFanSpeed && nvml.SetDefaultFanSpeed);
}

// Sets the variables for one test and puts them back.
class Environment {
public:
    void Set(const char* name, const char* value) {
        Keep(name);
        if (value) ::setenv(name, value, 1); else ::unsetenv(name);
    }
    ~Environment() {
        for (const auto& [name, value] : saved_)
            if (value) ::setenv(name.c_str(), value->c_str(), 1); else ::unsetenv(name.c_str());
    }

private:
    void Keep(const char* name) {
        for (const auto& entry : saved_)
            if (entry.first == name) return;
        const char* value = std::getenv(name);
        saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(RealDriver, PyxtunectlExitsOneWithTheDriversOwnWordsAndNeverFallsBackToTheSimulator) {
    // The library root must lie where only root can write; the build tree may not (a clone
    // under /tmp), so the unpacked tree is copied to such a place.
    std::string whyNot;
    const std::optional<test::RootOnlyFolder> scratch = test::RootOnlyFolder::Make(whyNot);
    if (!scratch) GTEST_SKIP() << "the unpacked tree cannot stand for /: " << whyNot;
    const fs::path root = scratch->Path() / "root";
    fs::copy(root_, root, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    ASSERT_EQ(LibraryTrust::WhyRootUntrusted(root), "");
    Environment env;
    env.Set("PYXTUNE_LIBRARY_ROOT", root.c_str());
    for (const char* backend : {static_cast<const char*>(nullptr), "nvapi"}) {
        env.Set("PYXTUNE_GPU_BACKEND", backend);
        const GpuBackendChoice choice = ChooseGpuBackendFromEnvironment();
        ASSERT_TRUE(choice.source);
        EXPECT_EQ(choice.source->BackendName(), "nvapi") << "a driver library is installed";
        std::ostringstream out, err;
        EXPECT_EQ(RunCli({"list"}, out, err), 1);
        EXPECT_NE(err.str().find("libnvidia-api.so.1: found, but NvAPI_Initialize returned -1"), std::string::npos)
            << err.str();
        EXPECT_EQ(out.str().find("SIMULATED"), std::string::npos);
    }
    // The doctor still tells what it found, and fails the same way.
    env.Set("PYXTUNE_GPU_BACKEND", nullptr);
    std::ostringstream out, err;
    EXPECT_EQ(RunCli({"doctor"}, out, err), 1);
    EXPECT_NE(out.str().find("libnvidia-ml.so.1: found, but nvmlInit_v2 returned 9"), std::string::npos) << out.str();
}

}  // namespace
}  // namespace pyx
