// The LED service on the real service control manager, under Wine or Windows (administrator
// rights needed): the scripts the program writes create and delete it with "sc", and the
// program's own steps query, start, stop and remove it.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "app/LedService.h"
#include "app/LedServiceScripts.h"
#include "tests/support/FakeMessageSink.h"
#include "platform/windows/ScmServiceControl.h"
#include "platform/windows/WinProcessLauncher.h"
#include "tests/support/FileText.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;


// What the manager holds for the service: its program and start type; empty when unknown.
struct ServiceConfig {
    std::wstring binaryPath;
    DWORD startType = 0;
};

ServiceConfig Config() {
    ServiceConfig config;
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!manager) return config;
    if (SC_HANDLE service = OpenServiceW(manager, L"LumoraServices", SERVICE_QUERY_CONFIG)) {
        alignas(QUERY_SERVICE_CONFIGW) unsigned char buffer[8192];
        auto* raw = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer);
        DWORD needed = 0;
        if (QueryServiceConfigW(service, raw, sizeof buffer, &needed)) {
            config.binaryPath = raw->lpBinaryPathName ? raw->lpBinaryPathName : L"";
            config.startType = raw->dwStartType;
        }
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return config;
}

class LedServiceScmTest : public ::testing::Test {
protected:
    void SetUp() override {
        RemoveLeftOver();
        UseFolder("pyx led service " + std::to_string(GetCurrentProcessId()));
    }
    void TearDown() override {
        RemoveLeftOver();
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }
    // The program's folder, with the service program in it.
    void UseFolder(const std::string& name) {
        std::error_code ec;
        if (!folder_.empty()) fs::remove_all(folder_, ec);
        folder_ = fs::temp_directory_path() / name;
        fs::create_directories(folder_);
        fs::copy_file(fs::absolute(PYX_TEST_LED_SERVICE), folder_ / "LumoraService.exe",
                      fs::copy_options::overwrite_existing);
    }

    bool Installed() {
        bool installed = false;
        QueryLedService(services_, installed);
        return installed;
    }
    // The shell runs the scripts without anyone waiting for them: the test waits for the result.
    bool InstalledWithin(bool wanted, std::chrono::seconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (Installed() != wanted) {
            if (std::chrono::steady_clock::now() > end) return false;
            std::this_thread::sleep_for(100ms);
        }
        return true;
    }
    ServiceState State() {
        ServiceStatus status;
        status.state = static_cast<ServiceState>(0);
        if (services_.OpenManager() && services_.OpenByName(kLedServiceName)) services_.QueryStatus(status);
        services_.CloseService();
        services_.CloseManager();
        return status.state;
    }
    static void RemoveLeftOver() {
        SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        if (!manager) return;
        if (SC_HANDLE service = OpenServiceW(manager, L"LumoraServices", SERVICE_ALL_ACCESS)) {
            SERVICE_STATUS status{};
            ControlService(service, SERVICE_CONTROL_STOP, &status);
            DeleteService(service);
            CloseServiceHandle(service);
        }
        CloseServiceHandle(manager);
    }

    fs::path folder_;
    ScmServiceControl services_;
    WinProcessLauncher launcher_;
    FakeMessageSink messages_;
};

}  // namespace

TEST_F(LedServiceScmTest, ScriptsInstallAndRemoveItAndTheProgramStartsAndStopsIt) {
    ASSERT_EQ(WriteInstallScript(folder_), 1);
    ASSERT_EQ(WriteRemoveScript(folder_), 1);
    const std::string folderText = folder_.string();
    EXPECT_EQ(pyx::test::FileText(folder_ / "setupledservices.bat"),
              "sc create LumoraServices binPath= \"\\\"" + folderText + "\\LumoraService.exe\\\"\" start= auto");
    EXPECT_EQ(pyx::test::FileText(folder_ / "deleteledservices.bat"), "sc delete LumoraServices");

    EXPECT_FALSE(Installed());
    ASSERT_TRUE(InstallLedService(launcher_, folder_)) << "the shell took the install script";
    ASSERT_TRUE(InstalledWithin(true, 30s)) << "setupledservices.bat created no service";
    const ServiceConfig config = Config();
    EXPECT_EQ(config.binaryPath, L"\"" + (folder_ / "LumoraService.exe").wstring() + L"\"");
    EXPECT_EQ(config.startType, static_cast<DWORD>(SERVICE_AUTO_START));
    EXPECT_EQ(State(), ServiceState::Stopped);

    bool installed = false;
    ToggleLedService(services_, messages_, installed);
    EXPECT_TRUE(installed);
    ASSERT_EQ(messages_.messages.size(), 1u);
    EXPECT_EQ(messages_.messages[0].text, "start success.");
    EXPECT_EQ(State(), ServiceState::Running);

    ToggleLedService(services_, messages_, installed);
    ASSERT_EQ(messages_.messages.size(), 2u);
    EXPECT_EQ(messages_.messages[1].text, "stop success.");
    EXPECT_EQ(State(), ServiceState::Stopped);

    // Removal stops a running service first.
    ToggleLedService(services_, messages_, installed);
    ASSERT_EQ(State(), ServiceState::Running);
    EXPECT_TRUE(UninstallLedService(services_, launcher_, folder_));
    EXPECT_NE(State(), ServiceState::Running) << "stopped before the remove script ran";
    ASSERT_TRUE(InstalledWithin(false, 30s)) << "deleteledservices.bat left the service";
    EXPECT_EQ(messages_.messages.size(), 3u) << "removal says nothing";
}

// cmd reads "%...%" in a batch file as a variable: a folder holding percent signs must reach
// the service manager as it is named.
TEST_F(LedServiceScmTest, AFolderWithPercentSignsReachesTheServiceManagerIntact) {
    UseFolder("pyx 100% %PATH% led " + std::to_string(GetCurrentProcessId()));
    ASSERT_EQ(WriteInstallScript(folder_), 1);
    ASSERT_EQ(WriteRemoveScript(folder_), 1);
    ASSERT_TRUE(InstallLedService(launcher_, folder_));
    ASSERT_TRUE(InstalledWithin(true, 30s)) << "setupledservices.bat created no service";
    EXPECT_EQ(Config().binaryPath, L"\"" + (folder_ / "LumoraService.exe").wstring() + L"\"");
    EXPECT_TRUE(UninstallLedService(services_, launcher_, folder_));
    EXPECT_TRUE(InstalledWithin(false, 30s)) << "deleteledservices.bat left the service";
}
