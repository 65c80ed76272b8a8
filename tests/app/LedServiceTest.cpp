#include "app/LedService.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "app/LedServiceScripts.h"
#include "tests/support/FakeMessageSink.h"
#include "tests/support/FakeProcessLauncher.h"
#include "tests/support/FakeServiceControl.h"

using namespace std::chrono_literals;

namespace {

// Time that moves only when the code under test sleeps.
struct FakeClock {
  std::chrono::steady_clock::time_point now{};
  std::vector<std::chrono::milliseconds> sleeps;

  ServicePollTiming Timing() {
    ServicePollTiming timing;
    timing.now = [this] { return now; };
    timing.sleep = [this](std::chrono::milliseconds pause) {
      sleeps.push_back(pause);
      now += pause;
    };
    return timing;
  }
  std::chrono::milliseconds Slept() const {
    std::chrono::milliseconds total{0};
    for (auto s : sleeps) total += s;
    return total;
  }
};

class LedServiceTest : public ::testing::Test {
 protected:
  FakeServiceControl::Service& Installed(ServiceState state) {
    auto& service = services_.services["LumoraServices"];
    service.status = {state, 0};
    return service;
  }
  void Toggle() { ToggleLedService(services_, messages_, installed_, clock_.Timing()); }
  std::vector<std::string> Tail(std::size_t n) const {
    const auto& calls = services_.calls;
    return {calls.end() - static_cast<std::ptrdiff_t>(std::min(n, calls.size())), calls.end()};
  }
  const std::vector<std::string> kClosed{"CloseService", "CloseManager"};

  FakeServiceControl services_;
  FakeMessageSink messages_;
  FakeClock clock_;
  bool installed_ = false;
};


}  // namespace

TEST_F(LedServiceTest, QueryFollowsWhetherTheManagerKnowsTheService) {
  services_.managerAvailable = false;
  installed_ = true;
  QueryLedService(services_, installed_);
  EXPECT_TRUE(installed_) << "no manager: the flag stays as it was";

  services_.managerAvailable = true;
  QueryLedService(services_, installed_);
  EXPECT_FALSE(installed_);
  EXPECT_EQ(services_.calls.back(), "CloseManager");

  Installed(ServiceState::Stopped);
  QueryLedService(services_, installed_);
  EXPECT_TRUE(installed_);
  EXPECT_EQ(Tail(2), kClosed);
}

TEST_F(LedServiceTest, ToggleStopsARunningServiceAndSaysSo) {
  Installed(ServiceState::Running);
  Toggle();
  EXPECT_TRUE(installed_);
  EXPECT_EQ(services_.services["LumoraServices"].status.state, ServiceState::Stopped);
  ASSERT_EQ(messages_.messages.size(), 1u);
  EXPECT_EQ(messages_.messages[0].text, "stop success.");
  EXPECT_EQ(messages_.messages[0].icon, MessageIcon::None);
  EXPECT_EQ(Tail(2), kClosed);
  EXPECT_FALSE(services_.managerOpen());
  // The wait hint of each status is slept before that status is looked at.
  ASSERT_GE(clock_.sleeps.size(), 2u);
  EXPECT_EQ(clock_.sleeps[0], 200ms);
}

TEST_F(LedServiceTest, ToggleStartsAStoppedServiceAndSaysSo) {
  Installed(ServiceState::Stopped);
  Toggle();
  EXPECT_EQ(services_.services["LumoraServices"].status.state, ServiceState::Running);
  ASSERT_EQ(messages_.messages.size(), 1u);
  EXPECT_EQ(messages_.messages[0].text, "start success.");
  EXPECT_EQ(Tail(2), kClosed);
}

TEST_F(LedServiceTest, ToggleLeavesPendingAndPausedServicesAlone) {
  for (ServiceState state : {ServiceState::StartPending, ServiceState::StopPending,
                             ServiceState::Paused}) {
    services_.calls.clear();
    Installed(state);
    Toggle();
    EXPECT_TRUE(installed_);
    EXPECT_TRUE(messages_.messages.empty());
    EXPECT_EQ(services_.calls, (std::vector<std::string>{"OpenManager", "OpenByName LumoraServices",
                                                         "QueryStatus", "CloseService",
                                                         "CloseManager"}));
  }
}

TEST_F(LedServiceTest, ServiceStuckPendingIsGivenUpSilentlyAfterThirtySeconds) {
  auto& service = Installed(ServiceState::Running);
  service.afterStop = {{ServiceState::StopPending, 3000}};  // never gets further
  Toggle();
  EXPECT_TRUE(messages_.messages.empty());
  EXPECT_EQ(Tail(2), kClosed);
  EXPECT_GE(clock_.Slept(), 30s);
  EXPECT_LT(clock_.Slept(), 31s);
}

TEST_F(LedServiceTest, BoundHoldsForHugeAndZeroWaitHints) {
  auto& service = Installed(ServiceState::Stopped);
  service.afterStart = {{ServiceState::StartPending, 600000}};
  Toggle();
  EXPECT_TRUE(messages_.messages.empty());
  EXPECT_LE(clock_.Slept(), 31s) << "a ten-minute hint is not slept whole";

  // A start that fails and falls back to stopped, reporting no hint at all.
  clock_ = FakeClock{};
  service.status = {ServiceState::Stopped, 0};
  service.afterStart = {{ServiceState::Stopped, 0}};
  Toggle();
  EXPECT_TRUE(messages_.messages.empty());
  EXPECT_GE(clock_.Slept(), 30s);
  EXPECT_LT(clock_.Slept(), 31s);
  EXPECT_EQ(Tail(2), kClosed);
}

TEST_F(LedServiceTest, FailuresOnTheWayEndSilentlyWithHandlesClosed) {
  services_.managerAvailable = false;
  installed_ = true;
  Toggle();
  EXPECT_TRUE(installed_) << "no manager: nothing changed";
  EXPECT_EQ(services_.calls, std::vector<std::string>{"OpenManager"});

  services_.managerAvailable = true;
  Toggle();
  EXPECT_FALSE(installed_) << "not installed";
  EXPECT_EQ(services_.calls.back(), "CloseManager");

  auto& service = Installed(ServiceState::Running);
  service.stopFails = true;
  Toggle();
  EXPECT_TRUE(installed_);
  EXPECT_EQ(Tail(3), (std::vector<std::string>{"RequestStop", "CloseService", "CloseManager"}));

  service.stopFails = false;
  service.queriesBeforeFailure = 2;  // the first status, then one while stopping
  Toggle();
  EXPECT_EQ(Tail(3), (std::vector<std::string>{"QueryStatus", "CloseService", "CloseManager"}));

  service.status = {ServiceState::Running, 0};
  service.queriesBeforeFailure = 0;
  Toggle();
  EXPECT_EQ(Tail(3), (std::vector<std::string>{"QueryStatus", "CloseService", "CloseManager"}));
  EXPECT_TRUE(messages_.messages.empty());
}

#ifdef _WIN32  // Linux writes no script: the Pyxtune service keeps the lighting there
TEST_F(LedServiceTest, RemovalStopsOnlyARunningServiceAndAlwaysRunsTheRemoveScript) {
  FakeProcessLauncher launcher;
  Installed(ServiceState::Running);
  ASSERT_TRUE(UninstallLedService(services_, launcher, "/opt/pyx", clock_.Timing()));
  EXPECT_EQ(services_.services["LumoraServices"].status.state, ServiceState::Stopped);
  EXPECT_TRUE(messages_.messages.empty());
  EXPECT_EQ(Tail(2), kClosed);
  ASSERT_EQ(launcher.scripts.size(), 1u);
  EXPECT_EQ(launcher.scripts[0], std::filesystem::path("/opt/pyx") / RemoveScriptName());

  services_.calls.clear();
  UninstallLedService(services_, launcher, "/opt/pyx", clock_.Timing());
  EXPECT_EQ(std::count(services_.calls.begin(), services_.calls.end(), "RequestStop"), 0)
      << "a stopped service is not stopped again";

  services_.managerAvailable = false;
  UninstallLedService(services_, launcher, "/opt/pyx", clock_.Timing());
  EXPECT_EQ(launcher.scripts.size(), 3u) << "the script runs even without a manager";

  ASSERT_TRUE(InstallLedService(launcher, "/opt/pyx"));
  EXPECT_EQ(launcher.scripts.back(), std::filesystem::path("/opt/pyx") / InstallScriptName());
  EXPECT_TRUE(messages_.messages.empty());
}
#endif

TEST_F(LedServiceTest, RemovalOfAServiceThatNeverStopsIsBounded) {
  auto& service = Installed(ServiceState::Running);
  service.afterStop = {{ServiceState::StopPending, 0}};
  ASSERT_TRUE(services_.OpenManager());
  StopLedServiceForRemoval(services_, clock_.Timing());
  EXPECT_GE(clock_.Slept(), 30s);
  EXPECT_LT(clock_.Slept(), 31s);
  EXPECT_FALSE(services_.managerOpen());
  EXPECT_FALSE(services_.serviceOpen());
}

TEST_F(LedServiceTest, RemovalDoesNotWaitWhenTheStopIsRefused) {
  auto& service = Installed(ServiceState::Running);
  service.stopFails = true;
  ASSERT_TRUE(services_.OpenManager());
  StopLedServiceForRemoval(services_, clock_.Timing());
  EXPECT_EQ(clock_.Slept(), 0ms);
  EXPECT_EQ(Tail(3), (std::vector<std::string>{"RequestStop", "CloseService", "CloseManager"}));
}

TEST(LedServiceScripts, WindowsInstallLineKeepsThePathQuotedForTheServiceManager) {
  // The path in escaped quotes inside the quoted argument: 74 bytes for C:\X.
  const std::wstring line = WindowsInstallLine(L"C:\\X");
  EXPECT_EQ(line, L"sc create LumoraServices binPath= \"\\\"C:\\X\\LumoraService.exe\\\"\" start= auto");
  EXPECT_EQ(line.size(), 74u);
  EXPECT_EQ(WindowsRemoveLine(), "sc delete LumoraServices");
  EXPECT_EQ(WindowsInstallLine(L"D:\\Program Files\\Pyx"),
            L"sc create LumoraServices binPath= \"\\\"D:\\Program Files\\Pyx\\LumoraService.exe\\\"\""
            L" start= auto");
  // cmd expands %...% inside quotes too: the folder must reach sc as it is named.
  EXPECT_EQ(WindowsInstallLine(L"C:\\100%\\%PATH%"),
            L"sc create LumoraServices binPath= \"\\\"C:\\100%%\\%%PATH%%\\LumoraService.exe\\\"\" start= auto");
}

#ifdef _WIN32
TEST(LedServiceScripts, UnwritableFolderGivesZero) {
  EXPECT_EQ(WriteInstallScript("/nonexistent/pyxtune"), 0);
  EXPECT_EQ(WriteRemoveScript("/nonexistent/pyxtune"), 0);
}
#endif
