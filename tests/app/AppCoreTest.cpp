#include <algorithm>
#include <chrono>
#include <filesystem>
#include <ios>
#include <fstream>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "app/AppCore.h"
#include "app/TuningSettingsStore.h"
#include "platform/ProcessIdentity.h"
#include "gpu/PowerControl.h"
#include "tests/support/FakeInstanceLock.h"
#include "tests/support/FakeMessageSink.h"
#include "tests/support/FakeProcessLauncher.h"
#include "tests/support/FakeServiceControl.h"
#include "tests/support/TempFolder.h"
#include "sim/SimLibrarySource.h"
#include "sim/SimScenario.h"

#ifdef _WIN32
#include <windows.h>
#include <aclapi.h>
#endif

namespace pyx {
namespace {

namespace fs = std::filesystem;

// Whether nobody but this user may enter the folder: mode 0700, or on Windows an access list
// that allows this process's user full control and nobody else anything. The system account
// may stand beside it (Wine lists it for every file; it can enter any folder whatever the
// list says).
::testing::AssertionResult OnlyThisUserMayEnter(const fs::path& folder) {
#ifdef _WIN32
    PACL acl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &acl,
                              nullptr, &descriptor) != ERROR_SUCCESS)
        return ::testing::AssertionFailure() << "its access list cannot be read";
    std::unique_ptr<void, decltype(&LocalFree)> keep(descriptor, &LocalFree);
    if (acl == nullptr) return ::testing::AssertionFailure() << "it has no access list: everyone may enter";
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    alignas(TOKEN_USER) unsigned char user[256];
    DWORD size = 0;
    const bool known = GetTokenInformation(token, TokenUser, user, sizeof user, &size);
    CloseHandle(token);
    if (!known) return ::testing::AssertionFailure() << "this process's user is unknown";
    const PSID self = reinterpret_cast<TOKEN_USER*>(user)->User.Sid;
    alignas(SID) unsigned char systemSid[SECURITY_MAX_SID_SIZE];
    DWORD systemSize = sizeof systemSid;
    CreateWellKnownSid(WinLocalSystemSid, nullptr, systemSid, &systemSize);
    bool selfHasAll = false;
    for (DWORD i = 0; i < acl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        if (!GetAce(acl, i, reinterpret_cast<void**>(&ace))) return ::testing::AssertionFailure() << "entry " << i;
        if (ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
        const PSID sid = &ace->SidStart;
        if (EqualSid(sid, self)) {
            selfHasAll = selfHasAll || (ace->Mask & FILE_ALL_ACCESS) == FILE_ALL_ACCESS;
        } else if (!EqualSid(sid, systemSid)) {
            return ::testing::AssertionFailure() << "entry " << i << " lets another account in (mask " << std::hex
                                                 << ace->Mask << ")";
        }
    }
    if (!selfHasAll) return ::testing::AssertionFailure() << "this user lacks full control";
    return ::testing::AssertionSuccess();
#else
    const fs::perms perms = fs::status(folder).permissions() & fs::perms::all;
    if (perms == fs::perms::owner_all) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "mode " << std::oct << static_cast<unsigned>(perms);
#endif
}

class AppCoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        oldCwd_ = fs::current_path();
        machine_ = std::make_shared<FakeInstanceLock::Machine>();
    }
    // The start makes the program's folder the current one; it is left before the folder goes.
    void TearDown() override { fs::current_path(oldCwd_); }
    std::unique_ptr<AppCore> MakeCore(const char* scenario = nullptr) {
        std::string error;
        auto library = scenario ? sim::SimScenario::FromText(scenario, "test", error) : sim::SimScenario::Default();
        EXPECT_NE(library, nullptr) << error;
        return std::make_unique<AppCore>(std::make_unique<sim::SimLibrarySource>(std::move(library)));
    }
    StartupResult Start(AppCore& core, FakeInstanceLock& lock, std::string_view commandLine,
                        std::function<bool()> fonts = [] { return true; }) {
        AppPlatform platform{lock, messages_, services_, nullptr};
        return core.Start(platform, folder_ / "pyxtune", commandLine, fonts,
                          [this](const fs::path& file, GpuBoardTable&, AppState&) {
                              ++settingsLoads_;
                              loadedFile_ = file;
                          });
    }

    fs::path oldCwd_;
    const test::TempFolder temp_{"pyx-appcore-"};
    const fs::path folder_ = temp_.Path();
    std::shared_ptr<FakeInstanceLock::Machine> machine_;
    FakeMessageSink messages_;
    FakeServiceControl services_;
    int settingsLoads_ = 0;
    fs::path loadedFile_;
};

TEST_F(AppCoreTest, FirstCopyStartsTheHardwareAndLoadsTheSettingsFromItsOwnFolder) {
    services_.services["LumoraServices"] = {};
    FakeInstanceLock lock(machine_, 1);
    auto core = MakeCore();
    EXPECT_EQ(Start(*core, lock, "sYsTrAy"), StartupResult::RunMainWindow);
    EXPECT_EQ(core->commandLineMode, StartMode::SysTray);
    EXPECT_EQ(core->programFolder, folder_);
    EXPECT_EQ(fs::current_path(), folder_);
    EXPECT_TRUE(core->ledServiceInstalled);
    EXPECT_EQ(core->startHardwareResult, 0);
    EXPECT_EQ(core->Boards().gpuCount, 1);
    EXPECT_EQ(settingsLoads_, 1);
    // Simulated cards keep their settings apart from those of real ones.
    EXPECT_EQ(loadedFile_, folder_ / "simulated" / "Preformance.txt");
    EXPECT_TRUE(fs::is_directory(folder_ / "simulated"));
    EXPECT_TRUE(messages_.messages.empty());
}

// The video-BIOS reader comes from the program folder but runs in a folder nobody could have
// prepared for it: new, private, and gone with the program.
TEST_F(AppCoreTest, TheBiosReaderRunsInAFreshPrivateFolderThatGoesWithTheProgram) {
    FakeInstanceLock lock(machine_, 1);
    FakeProcessLauncher launcher;
    auto core = MakeCore();
    AppPlatform platform{lock, messages_, services_, &launcher};
    ASSERT_EQ(core->Start(platform, folder_ / "pyxtune", "", nullptr), StartupResult::RunMainWindow);
    ASSERT_TRUE(core->Hardware().WaitFinished(std::chrono::seconds(10)));
    ASSERT_EQ(launcher.started.size(), 1u);
    const ProcessRequest reader = launcher.started[0];
    EXPECT_EQ(reader.program.parent_path(), folder_);
    const fs::path working = reader.workingFolder;
    EXPECT_EQ(working.parent_path() / "", fs::temp_directory_path() / "");
    EXPECT_EQ(working.filename().string().rfind("pyxtune-bios-", 0), 0u) << working;
    EXPECT_GT(working.filename().string().size(), std::string("pyxtune-bios-").size());
    EXPECT_TRUE(OnlyThisUserMayEnter(working)) << working;
    EXPECT_EQ(working.filename().string().rfind("pyxtune-bios-" + std::to_string(CurrentProcessId()) + "-", 0), 0u)
        << "the name tells a leftover's process";
    core->End();  // Quit's end, which skips every destructor
    EXPECT_FALSE(fs::exists(working));
    core.reset();
    EXPECT_FALSE(fs::exists(working));
}

TEST_F(AppCoreTest, SecondCopyOfTheSameUserActivatesTheFirstWithoutAMessage) {
    int activations = 0;
    FakeInstanceLock first(machine_, 1);
    auto core1 = MakeCore();
    ASSERT_EQ(Start(*core1, first, ""), StartupResult::RunMainWindow);
    first.SetActivationHandler([&](const std::string&) { ++activations; });

    FakeInstanceLock second(machine_, 1);
    auto core2 = MakeCore();
    testing::internal::CaptureStdout();
    EXPECT_EQ(Start(*core2, second, "Normal"), StartupResult::ActivatedFirstCopy);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Pyxtune is already running; its window was brought to the front.\n");
    EXPECT_EQ(activations, 1);
    EXPECT_EQ(core2->startHardwareResult, -1) << "nothing else is initialised";
    EXPECT_TRUE(messages_.messages.empty());
    EXPECT_EQ(settingsLoads_, 1);
}

TEST_F(AppCoreTest, AnotherUsersCopyGivesTheMessageAndEnds) {
    FakeInstanceLock first(machine_, 1);
    auto core1 = MakeCore();
    ASSERT_EQ(Start(*core1, first, ""), StartupResult::RunMainWindow);
    // The holder is named where the system tells who it is.
    const struct {
        std::string holderName, message;
    } rows[] = {{"", "PYXTUNE has been started by other user."},
                {"alice", "PYXTUNE has been started by other user (alice)."}};
    for (const auto& row : rows) {
        messages_.messages.clear();
        FakeInstanceLock other(machine_, 2);
        other.holderName = row.holderName;
        auto core2 = MakeCore();
        EXPECT_EQ(Start(*core2, other, ""), StartupResult::OtherUsersCopy);
        ASSERT_EQ(messages_.messages.size(), 1u);
        EXPECT_EQ(messages_.messages[0].text, row.message);
        EXPECT_EQ(messages_.messages[0].caption, "PYXTUNE");
        EXPECT_EQ(messages_.messages[0].icon, MessageIcon::Error);
    }
}

TEST_F(AppCoreTest, FontFailureIsReportedAndStartUpGoesOn) {
    FakeInstanceLock lock(machine_, 1);
    auto core = MakeCore();
    EXPECT_EQ(Start(*core, lock, " SysTray", [] { return false; }), StartupResult::RunMainWindow);
    EXPECT_EQ(core->commandLineMode, StartMode::Unset) << "the whole text must be a name";
    ASSERT_EQ(messages_.messages.size(), 1u);
    EXPECT_EQ(messages_.messages[0].text, "Add font failed!");
    EXPECT_EQ(core->startHardwareResult, 0);
}

TEST_F(AppCoreTest, FailedHardwareStartAppliesNoSettingsButTheWindowStillOpens) {
    FakeInstanceLock lock(machine_, 1);
    auto core = MakeCore(R"({"cards": []})");
    EXPECT_EQ(Start(*core, lock, ""), StartupResult::RunMainWindow);
    EXPECT_NE(core->startHardwareResult, 0);
    EXPECT_EQ(settingsLoads_, 0);
}

TEST_F(AppCoreTest, UnusableLockFolderStillLetsTheProgramRun) {
    machine_->lockBroken = true;
    FakeInstanceLock lock(machine_, 1);
    auto core = MakeCore();
    EXPECT_EQ(Start(*core, lock, ""), StartupResult::RunMainWindow);
    EXPECT_TRUE(messages_.messages.empty());
}

TEST_F(AppCoreTest, StoredSettingsOfTheSettingsFolderAreAppliedAtStart) {
    {
        FakeInstanceLock lock(machine_, 1);
        auto core = MakeCore();
        AppPlatform platform{lock, messages_, services_, nullptr};
        ASSERT_EQ(core->Start(platform, folder_ / "pyxtune", "", nullptr), StartupResult::RunMainWindow);
        NvPowerPoliciesStatus power{};
        power.version = kPowerPoliciesStatusTag;
        ASSERT_EQ(GetPowerPolicyStatus(core->Boards(), 0, &power), kNvOk);
        power.entries[0].powerPcm = 90000;
        ASSERT_EQ(SetPowerPolicyStatus(core->Boards(), 0, &power), kNvOk);
        ASSERT_EQ(SaveTuningSettings(core->Boards(), core->State(), *core->settings.TuningFile()), 1);
    }
    ASSERT_TRUE(fs::exists(folder_ / "simulated" / "Preformance.txt"));
    fs::current_path(oldCwd_);  // the start itself must move to the program folder
    machine_ = std::make_shared<FakeInstanceLock::Machine>();
    FakeInstanceLock lock(machine_, 1);
    auto core = MakeCore();  // a fresh card at its default power
    AppPlatform platform{lock, messages_, services_, nullptr};
    ASSERT_EQ(core->Start(platform, folder_ / "pyxtune", "", nullptr), StartupResult::RunMainWindow);
    NvPowerPoliciesStatus power{};
    power.version = kPowerPoliciesStatusTag;
    ASSERT_EQ(GetPowerPolicyStatus(core->Boards(), 0, &power), kNvOk);
    EXPECT_EQ(power.entries[0].powerPcm, 90000u);
    EXPECT_EQ(core->State().tuningSettings.powerTargetPercent, 90);
}

#ifndef _WIN32
// A settings folder that is a link (another user's doing, say) is not used: the settings it
// leads to are not put back, and nothing is saved there, nor in the program's folder instead.
TEST_F(AppCoreTest, ASettingsFolderThatIsALinkIsNeitherReadNorWrittenNorReplaced) {
    const test::TempFolder elsewhere("pyx-elsewhere-");
    std::ofstream(elsewhere.Path() / "Preformance.txt") << "planted";
    fs::create_directory_symlink(elsewhere.Path(), folder_ / "simulated");
    FakeInstanceLock lock(machine_, 1);
    auto core = MakeCore();
    ASSERT_EQ(Start(*core, lock, ""), StartupResult::RunMainWindow);
    EXPECT_EQ(core->startHardwareResult, 0);
    EXPECT_EQ(settingsLoads_, 0) << loadedFile_;
    EXPECT_EQ(core->settings.WhyNotUsed(),
              "Settings are not used: " + (folder_ / "simulated").string() + " is a link");
    EXPECT_EQ(core->Reapply().State(), ReapplyState::NotBegun);
    EXPECT_FALSE(core->SaveOptions());
    core->End();
    std::vector<fs::path> left;
    for (const fs::path& in : {folder_, elsewhere.Path()})
        for (const auto& entry : fs::directory_iterator(in)) left.push_back(entry.path());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<fs::path>{folder_ / "simulated", elsewhere.Path() / "Preformance.txt"}));
}
#endif

}  // namespace
}  // namespace pyx
