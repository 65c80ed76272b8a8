#include "platform/linux/SystemdServiceControl.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <map>

#include "tests/support/FakeProcessLauncher.h"
#include "tests/support/TempFolder.h"

namespace {

// A systemd that knows one service; systemctl's answers come from `state`.
class SystemdServiceControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto launcher = std::make_unique<FakeProcessLauncher>();
    launcher_ = launcher.get();
    launcher_->onRun = [this](const ProcessRequest& request) { return Answer(request); };
    control_ = std::make_unique<SystemdServiceControl>(std::move(launcher), marker_);
  }

  ProcessOutcome Answer(const ProcessRequest& request) {
    ProcessOutcome out;
    out.started = request.program == "systemctl";
    out.exitCode = 0;
    const auto& a = request.args;
    if (a.size() == 1 && a[0] == "--version") {
      out.output = "systemd 252 (252.38-1~deb12u1)\n";
    } else if (a.size() == 4 && a[0] == "show" && a[2] == "--") {
      const bool known = a[3] == "LumoraServices.service";
      if (a[1] == "--property=LoadState") out.output = known ? "LoadState=loaded\n" : "LoadState=not-found\n";
      if (a[1] == "--property=ActiveState") out.output = "ActiveState=" + state + "\n";
    } else if (a.size() == 4 && (a[0] == "start" || a[0] == "stop")) {
      out.exitCode = requestsFail ? 5 : 0;
    } else {
      out.exitCode = 1;
    }
    return out;
  }

  const pyx::test::TempFolder folder_{"pyx-sd-"};
  const std::filesystem::path marker_ = folder_.Path();
  FakeProcessLauncher* launcher_ = nullptr;
  std::unique_ptr<SystemdServiceControl> control_;
  std::string state = "inactive";
  bool requestsFail = false;
};

}  // namespace

TEST_F(SystemdServiceControlTest, NoSystemdMeansNoManager) {
  SystemdServiceControl none(std::make_unique<FakeProcessLauncher>(), marker_ / "missing");
  EXPECT_FALSE(none.OpenManager());
  EXPECT_FALSE(none.OpenByName("LumoraServices"));

  launcher_->onRun = nullptr;  // marker there, but systemctl cannot be started
  EXPECT_FALSE(control_->OpenManager());
}

TEST_F(SystemdServiceControlTest, ServiceIsKnownOnlyWhenItsUnitIsLoaded) {
  EXPECT_FALSE(control_->OpenByName("LumoraServices")) << "manager not open yet";
  ASSERT_TRUE(control_->OpenManager());
  EXPECT_FALSE(control_->OpenByName("Unknown"));
  ServiceStatus status;
  EXPECT_FALSE(control_->QueryStatus(status)) << "a failed open leaves nothing open";
  EXPECT_TRUE(control_->OpenByName("LumoraServices"));
  EXPECT_TRUE(control_->QueryStatus(status));
  control_->CloseService();
  EXPECT_FALSE(control_->QueryStatus(status));
}

TEST_F(SystemdServiceControlTest, ActiveStatesMapOntoManagerStates) {
  ASSERT_TRUE(control_->OpenManager());
  ASSERT_TRUE(control_->OpenByName("LumoraServices"));
  const std::map<std::string, ServiceState> expected{
      {"active", ServiceState::Running},         {"reloading", ServiceState::Running},
      {"inactive", ServiceState::Stopped},       {"failed", ServiceState::Stopped},
      {"activating", ServiceState::StartPending}, {"deactivating", ServiceState::StopPending}};
  for (const auto& [name, mapped] : expected) {
    state = name;
    ServiceStatus status;
    ASSERT_TRUE(control_->QueryStatus(status)) << name;
    EXPECT_EQ(status.state, mapped) << name;
    const bool pending = mapped == ServiceState::StartPending || mapped == ServiceState::StopPending;
    EXPECT_EQ(status.waitHintMs, pending ? SystemdServiceControl::kPendingHintMs
                                         : SystemdServiceControl::kSettledHintMs);
  }
  state = "something-new";
  ServiceStatus status;
  EXPECT_FALSE(control_->QueryStatus(status));
}

TEST_F(SystemdServiceControlTest, StartAndStopOnlyQueueTheJob) {
  ASSERT_TRUE(control_->OpenManager());
  ASSERT_TRUE(control_->OpenByName("LumoraServices"));
  ASSERT_TRUE(control_->RequestStart());
  EXPECT_EQ(launcher_->ran.back().args,
            (std::vector<std::string>{"start", "--no-block", "--", "LumoraServices.service"}));
  ASSERT_TRUE(control_->RequestStop());
  EXPECT_EQ(launcher_->ran.back().args,
            (std::vector<std::string>{"stop", "--no-block", "--", "LumoraServices.service"}));
  requestsFail = true;
  EXPECT_FALSE(control_->RequestStart());
  EXPECT_FALSE(control_->RequestStop());
}

TEST_F(SystemdServiceControlTest, NamesThatAreNoUnitNeverReachSystemctl) {
  ASSERT_TRUE(control_->OpenManager());
  const std::size_t before = launcher_->ran.size();
  for (const char* name : {"", "--all", "a b", "x;rm", "../x"}) {
    EXPECT_FALSE(control_->OpenByName(name)) << name;
  }
  EXPECT_EQ(launcher_->ran.size(), before);
}
