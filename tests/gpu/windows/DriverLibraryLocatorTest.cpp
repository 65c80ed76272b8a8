// The GPU library locator on a real Windows system, under Wine in CI: which copies of
// nvapi64.dll are loaded and which never are. The stand-in library (tests/gpu/fake_nvapi/
// SimNvApiDll.cpp) leaves a marker file beside itself in every process that loads it.
// Putting a copy into the system folder needs administrator rights (Wine gives them); on a
// Windows without them those checks are skipped and say so.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/TestEnvironment.h"

#include "gpu/DriverPathRules.h"
#include "gpu/NvApiIds.h"
#include "gpu/NvApiLibrary.h"
#include "gpu/windows/DriverLibraryLocator.h"
#include "gpu/windows/DriverStoreAdapters.h"
#include "gpu/windows/WindowsFolders.h"
#include "gpu/windows/WindowsNvApiSource.h"

namespace pyx {
namespace {

namespace fs = std::filesystem;
using L = DriverLibraryLocator;

fs::path Library() { return fs::absolute(PYX_SIM_NVAPI_DLL); }
fs::path Marker(const fs::path& copy) { return fs::path(copy.wstring() + L".loaded"); }

fs::path ProgramFolder() {
    wchar_t path[4096] = {};
    GetModuleFileNameW(nullptr, path, 4096);
    return fs::path(path).parent_path();
}

// Expects a refusal with the given last error.
void ExpectRefused(HMODULE module, DWORD expected, const char* what) {
    const DWORD error = GetLastError();
    EXPECT_EQ(module, nullptr) << what;
    EXPECT_EQ(error, expected) << what;
    if (module) FreeLibrary(module);
}

// Copies of the library where they must never be loaded from, and one in the system folder
// that the locator takes; all of them and their markers go again afterwards.
class LocatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(Library())) << Library();
        const fs::path name = WindowsNvApiSource::LibraryName();
        systemCopy_ = fs::path(WindowsFolders::SystemDirectory()) / name;
        // These tests put their own copy there and remove it again: never a driver's own.
        if (fs::exists(systemCopy_)) {
            const fs::path installed = systemCopy_;
            systemCopy_.clear();
            GTEST_SKIP() << installed << " is installed here, and these tests would replace it";
        }
        pathFolder_ = fs::temp_directory_path() / ("pyx-path-" + std::to_string(GetCurrentProcessId()));
        fs::create_directories(pathFolder_);
        planted_ = {ProgramFolder() / name, fs::current_path() / name, pathFolder_ / name};
        for (const fs::path& copy : planted_) Place(copy);
        const wchar_t* path = _wgetenv(L"PATH");
        savedPath_ = path ? path : L"";
        _wputenv((L"PATH=" + pathFolder_.wstring() + L";" + savedPath_).c_str());
    }
    void TearDown() override {
        if (systemCopy_.empty()) return;  // skipped before anything was placed
        _wputenv((L"PATH=" + savedPath_).c_str());
        for (const fs::path& copy : planted_) Remove(copy);
        Remove(systemCopy_);
        std::error_code ec;
        fs::remove_all(pathFolder_, ec);
    }

    void Place(const fs::path& copy) {
        fs::copy_file(Library(), copy, fs::copy_options::overwrite_existing);
        fs::remove(Marker(copy));
    }
    static void Remove(const fs::path& copy) {
        std::error_code ec;
        fs::remove(copy, ec);
        fs::remove(Marker(copy), ec);
    }
    // Whether the system folder takes a copy (administrator rights).
    bool PlaceInSystemFolder() {
        std::error_code ec;
        fs::copy_file(Library(), systemCopy_, fs::copy_options::overwrite_existing, ec);
        fs::remove(Marker(systemCopy_), ec);
        return fs::exists(systemCopy_);
    }
    void ExpectNoPlantedCopyLoaded() {
        for (const fs::path& copy : planted_) EXPECT_FALSE(fs::exists(Marker(copy))) << copy << " was loaded";
    }

    std::vector<fs::path> planted_;
    fs::path pathFolder_, systemCopy_;
    std::wstring savedPath_;
};

}  // namespace

TEST(DriverLibraryLocator, RefusesNamesWithPathsAndFindsSystemModulesByName) {
    ExpectRefused(L::LoadDriverLibrary(nullptr, 0), ERROR_BAD_ARGUMENTS, "no name");
    ExpectRefused(L::LoadDriverLibrary(L"", 0), ERROR_BAD_ARGUMENTS, "empty name");
    ExpectRefused(L::LoadDriverLibrary(L"..\\nvapi.dll", 0), ERROR_BAD_ARGUMENTS, "name with a backslash");
    ExpectRefused(L::LoadDriverLibrary(L"x/nvapi.dll", 0), ERROR_BAD_ARGUMENTS, "name with a slash");
    ExpectRefused(L::LoadDriverLibrary(L"c:nvapi.dll", 0), ERROR_BAD_ARGUMENTS, "name with a drive");
    ExpectRefused(L::LoadDriverLibrary(L"nvzz_absent_module.dll", 0), ERROR_MOD_NOT_FOUND, "absent driver module");
    ExpectRefused(L::LoadDriverLibrary(L"zz_absent_module.dll", 0), ERROR_MOD_NOT_FOUND, "absent system module");

    HMODULE system = L::LoadDriverLibrary(L"version.dll", 0);
    EXPECT_NE(system, nullptr) << "system module by bare name";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    if (system) FreeLibrary(system);

    EXPECT_TRUE(L::FindDriverModule(L"nvzz_absent_module.dll").empty());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND)) << "absent, not an error of the listing";

    ExpectRefused(L::LoadFromTrustedPath(nullptr, 0), ERROR_BAD_ARGUMENTS, "no path");
    ExpectRefused(L::LoadFromTrustedPath(L"version.dll", 0), ERROR_BAD_ARGUMENTS, "relative path");
    ExpectRefused(L::LoadFromTrustedPath(L"C:version.dll", 0), ERROR_BAD_ARGUMENTS, "drive-relative path");
    const std::wstring systemPath = DriverPathRules::JoinPath(WindowsFolders::SystemDirectory(), L"version.dll");
    HMODULE trusted = L::LoadFromTrustedPath(systemPath.c_str(), 0x1F08);
    EXPECT_NE(trusted, nullptr) << "the system folder is trusted (search flags cleared)";
    if (trusted) FreeLibrary(trusted);
    const std::wstring escaping =
        DriverPathRules::JoinPath(WindowsFolders::SystemDirectory(), L"..\\..\\Users\\nvapi.dll");
    ExpectRefused(L::LoadFromTrustedPath(escaping.c_str(), 0), ERROR_BAD_PATHNAME, "\"..\" out of the Windows folder");
}

TEST(DriverLibraryLocator, WindowsVersionComesFromRtlGetVersionAndMatchesTheRegistry) {
    const WindowsVersion version = L::SystemVersion();
    EXPECT_GE(version.major, 6u) << "RtlGetVersion answered";
    EXPECT_GT(L::BuildNumber(), 0u) << "CurrentBuildNumber read";
    EXPECT_EQ(version.build, L::BuildNumber());
    // The adapters can be listed (none here); a listing that failed would stand for a driver
    // that failed, and the program would not fall back to the simulator.
    std::vector<NvidiaAdapter> adapters;
    EXPECT_EQ(DriverStoreAdapters::List(adapters), 0u);
}

TEST_F(LocatorTest, WithoutADriverNothingIsInstalledAndNoPlantedCopyIsLoaded) {
    WindowsNvApiSource source;
    EXPECT_FALSE(source.Present()) << "no copy in the system folder: the simulator answers";
    NvQueryInterfaceFn query = nullptr;
    EXPECT_EQ(source.Open(query), kNvLibraryNotFound);
    EXPECT_EQ(query, nullptr);
    EXPECT_EQ(source.Probe().state, LibraryState::NotInstalled);
    EXPECT_EQ(source.Describe(), "nvapi64.dll: not installed");
    for (const fs::path& copy : planted_)
        ExpectRefused(L::LoadFromTrustedPath(copy.c_str(), 0), ERROR_BAD_PATHNAME, "a planted copy by its path");
    ExpectNoPlantedCopyLoaded();
}

TEST_F(LocatorTest, TheSystemFolderCopyIsTheOneLoaded) {
    if (!PlaceInSystemFolder()) GTEST_SKIP() << "no rights to write " << systemCopy_;
    WindowsNvApiSource source;
    EXPECT_TRUE(source.Present());
    const LibraryOutcome found = source.Probe();
    EXPECT_EQ(found.state, LibraryState::Ready) << found.Message();
    EXPECT_TRUE(DriverPathRules::EqualsIgnoringCase(fs::path(found.path).wstring(), systemCopy_.wstring())) << found.path;
    EXPECT_FALSE(fs::exists(Marker(systemCopy_))) << "found without loading it";
    NvQueryInterfaceFn query = nullptr;
    ASSERT_EQ(source.Open(query), kNvOk) << source.Describe();
    EXPECT_EQ(source.Probe().state, LibraryState::Ready);
    using InitializeFn = int32_t (*)();
    auto initialize = reinterpret_cast<InitializeFn>(query(kIdInitialize));
    ASSERT_NE(initialize, nullptr);
    EXPECT_EQ(initialize(), 0);
    EXPECT_TRUE(DriverPathRules::EqualsIgnoringCase(fs::path(source.Describe()).wstring(), systemCopy_.wstring()))
        << source.Describe();
    // The card's name is the loaded library's answer; a handle it never gave has none.
    using EnumFn = int32_t (*)(NvPhysicalGpuHandle*, uint32_t*);
    NvPhysicalGpuHandle gpus[kNvMaxPhysicalGpus] = {};
    uint32_t count = 0;
    ASSERT_EQ(reinterpret_cast<EnumFn>(query(NvOpId(NvOp::EnumPhysicalGPUs)))(gpus, &count), 0);
    ASSERT_GE(count, 1u);
    EXPECT_EQ(source.CardName(gpus[0]), "Simulated GeForce GTX 1070");
    EXPECT_EQ(source.CardName(&count), std::nullopt);
    source.Close();
    EXPECT_EQ(source.CardName(gpus[0]), std::nullopt) << "no library, no name";
    EXPECT_TRUE(fs::exists(Marker(systemCopy_)));
    ExpectNoPlantedCopyLoaded();
}

TEST_F(LocatorTest, ACopyThatCannotBeUsedIsReportedNotTakenForAbsent) {
    if (!PlaceInSystemFolder()) GTEST_SKIP() << "no rights to write " << systemCopy_;
    // Not a library at all: present, but its load fails and says why.
    {
        HANDLE file = CreateFileW(systemCopy_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(file, "MZ-broken", 9, &written, nullptr);
        CloseHandle(file);
    }
    WindowsNvApiSource source;
    EXPECT_TRUE(source.Present());
    NvQueryInterfaceFn query = nullptr;
    EXPECT_EQ(source.Open(query), kNvLibraryNotFound);
    const LibraryOutcome refused = source.Probe();
    EXPECT_EQ(refused.state, LibraryState::Refused);
    EXPECT_TRUE(DriverPathRules::EqualsIgnoringCase(fs::path(refused.path).wstring(), systemCopy_.wstring()))
        << refused.path;
    EXPECT_EQ(refused.reason, refused.path + " cannot be loaded (error 193: not a library this program can load)");
    EXPECT_EQ(refused.reason.find("error 126"), std::string::npos) << "not \"not found\": " << refused.reason;
    EXPECT_EQ(source.Describe(), refused.Message());
    // The library layer reports the same.
    NvApiLibrary library(std::make_unique<WindowsNvApiSource>());
    EXPECT_NE(library.Initialize(), kNvOk);
    EXPECT_EQ(library.Outcome().Message(), refused.Message());
    ExpectNoPlantedCopyLoaded();
}

TEST_F(LocatorTest, ADriverThatDoesNotStartSaysWhatItsInitialisationAnswered) {
    if (!PlaceInSystemFolder()) GTEST_SKIP() << "no rights to write " << systemCopy_;
    test::SetEnv("PYX_TEST_NVAPI_INITIALIZE", "-6");
    NvApiLibrary library(std::make_unique<WindowsNvApiSource>());
    const NvStatus status = library.Initialize();
    test::UnsetEnv("PYX_TEST_NVAPI_INITIALIZE");
    EXPECT_EQ(status, -6);
    const LibraryOutcome outcome = library.Outcome();
    EXPECT_EQ(outcome.state, LibraryState::InitFailed);
    EXPECT_EQ(outcome.Message(), "nvapi64.dll: found, but NvAPI_Initialize returned -6 (no NVIDIA GPU found)");
    ExpectNoPlantedCopyLoaded();
}

// The driver's registry values, as FindDriverModule reads them for each NVIDIA adapter. The
// adapters themselves come from the setup API, which lists none under Wine, so the test
// hands the lookup an adapter of its own whose driver key it writes.
class DriverValuesTest : public LocatorTest {
protected:
    static constexpr wchar_t kDriverKey[] = L"{4d36e968-e325-11ce-bfc1-08002be10318}\\9917";

    void SetUp() override {
        LocatorTest::SetUp();
        const std::wstring key = std::wstring(L"SYSTEM\\CurrentControlSet\\Control\\Class\\") + kDriverKey;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                                  nullptr),
                  ERROR_SUCCESS)
            << "no rights to write the machine's registry";
        untrustedStore_ = fs::temp_directory_path() / ("pyx-store-" + std::to_string(GetCurrentProcessId()));
        fs::create_directories(untrustedStore_);
        trustedStore_ = fs::path(WindowsFolders::TrustedFolders()[1]) / ("pyx-store-" + std::to_string(GetCurrentProcessId()));
        fs::create_directories(trustedStore_);
    }
    void TearDown() override {
        if (key_) {
            RegCloseKey(key_);
            RegDeleteTreeW(HKEY_LOCAL_MACHINE,
                           (std::wstring(L"SYSTEM\\CurrentControlSet\\Control\\Class\\") + kDriverKey).c_str());
        }
        std::error_code ec;
        fs::remove_all(untrustedStore_, ec);
        fs::remove_all(trustedStore_, ec);
        LocatorTest::TearDown();
    }
    void SetValue(const wchar_t* name, const std::vector<std::wstring>& files) {
        std::wstring data;
        for (const auto& file : files) data += file + L'\0';
        data += L'\0';
        ASSERT_EQ(RegSetValueExW(key_, name, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(data.data()),
                                 static_cast<DWORD>(data.size() * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }
    std::vector<NvidiaAdapter> Adapter(const fs::path& store) const { return {{kDriverKey, store.wstring(), L""}}; }

    HKEY key_ = nullptr;
    fs::path untrustedStore_, trustedStore_;
};

TEST_F(DriverValuesTest, AMissingFileIsPassedOverForTheNextValue) {
    if (!PlaceInSystemFolder()) GTEST_SKIP() << "no rights to write " << systemCopy_;
    // The driver store is named first but holds no such file; the system folder's copy follows.
    SetValue(L"UserModeDriverName", {L"nvldumdx.dll", L"nvapi64.dll"});
    SetValue(L"OpenGLDriverName", {L"\\SystemRoot\\System32\\nvapi64.dll"});
    const std::wstring found = L::FindDriverModuleAmong(L"nvapi64.dll", Adapter(trustedStore_));
    EXPECT_TRUE(DriverPathRules::EqualsIgnoringCase(found, systemCopy_.wstring())) << fs::path(found);
    HMODULE module = L::LoadFromTrustedPath(found.c_str(), 0);
    EXPECT_NE(module, nullptr);
    if (module) FreeLibrary(module);
    EXPECT_TRUE(fs::exists(Marker(systemCopy_)));
    ExpectNoPlantedCopyLoaded();

    SetValue(L"OpenGLDriverName", {L"nvoglv64.dll"});
    EXPECT_TRUE(L::FindDriverModuleAmong(L"nvapi64.dll", Adapter(trustedStore_)).empty());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND)) << "nothing named exists: absent";
}

TEST_F(DriverValuesTest, AStoreFolderOutsideTheTrustedFoldersIsNeverLoaded) {
    SetValue(L"UserModeDriverName", {L"nvapi64.dll"});
    const fs::path untrustedCopy = untrustedStore_ / WindowsNvApiSource::LibraryName();
    Place(untrustedCopy);
    const std::wstring found = L::FindDriverModuleAmong(L"nvapi64.dll", Adapter(untrustedStore_));
    ASSERT_TRUE(DriverPathRules::EqualsIgnoringCase(found, untrustedCopy.wstring())) << fs::path(found);
    ExpectRefused(L::LoadFromTrustedPath(found.c_str(), 0), ERROR_BAD_PATHNAME, "driver store outside the trusted folders");
    EXPECT_FALSE(fs::exists(Marker(untrustedCopy)));

    // The same under a program-files folder is the driver's own and is loaded.
    const fs::path trustedCopy = trustedStore_ / WindowsNvApiSource::LibraryName();
    Place(trustedCopy);
    const std::wstring trustedFound = L::FindDriverModuleAmong(L"nvapi64.dll", Adapter(trustedStore_));
    HMODULE module = L::LoadFromTrustedPath(trustedFound.c_str(), 0);
    EXPECT_NE(module, nullptr) << fs::path(trustedFound);
    if (module) FreeLibrary(module);
    EXPECT_TRUE(fs::exists(Marker(trustedCopy)));
    ExpectNoPlantedCopyLoaded();
}

}  // namespace pyx
