#include "ui/dialogs/CLEDServicesDlg.h"

#include "app/LedServiceScripts.h"
#include "tests/support/FakeMessageSink.h"
#include "tests/support/FakeProcessLauncher.h"
#include "tests/support/FakeServiceControl.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QPushButton>

#include <algorithm>
#include <fstream>
#include <memory>
#include <string>

namespace {

using namespace std::chrono_literals;

class DialogLedServicesTest : public ::testing::Test
{
protected:
    // The service's waits run on a clock of the test's own, advanced by each pause.
    std::unique_ptr<CLEDServicesDlg> MakeDialog()
    {
        LedServicesContext context{services, launcher, messages, scriptFolder, installed};
        context.timing.now = [this] { return std::chrono::steady_clock::time_point(clock); };
        context.timing.sleep = [this](std::chrono::milliseconds pause) { clock += pause; };
        auto dialog = std::make_unique<CLEDServicesDlg>(context);
        dialog->show();
        return dialog;
    }

    void Install(ServiceState state)
    {
        services.services[std::string(kLedServiceName)].status = {state, 0};
        installed = true;
    }

    ServiceState State() { return services.services[std::string(kLedServiceName)].status.state; }

    bool Called(const std::string& call) const
    {
        return std::find(services.calls.begin(), services.calls.end(), call) !=
               services.calls.end();
    }

    static std::vector<int> Shown(const CLEDServicesDlg& dialog)
    {
        std::vector<int> ids;
        for (int id : {CLEDServicesDlg::kStartStopId, CLEDServicesDlg::kCancelId,
                       CLEDServicesDlg::kInstallationId, CLEDServicesDlg::kUninstallId})
            if (dialog.Button(id)->isVisible())
                ids.push_back(id);
        return ids;
    }

    FakeServiceControl services;
    FakeProcessLauncher launcher;
    std::shared_ptr<FakeMessageSink> messages = std::make_shared<FakeMessageSink>();
    std::filesystem::path scriptFolder = "/opt/pyxtune";
    bool installed = false;
    std::chrono::milliseconds clock{0};
};

#ifdef _WIN32  // on Linux the Pyxtune service is the LED service (below)
TEST_F(DialogLedServicesTest, WithoutTheServiceItOffersInstallationAndKeepsDoingSo)
{
    auto dialog = MakeDialog();
    EXPECT_EQ(Shown(*dialog), (std::vector<int>{CLEDServicesDlg::kCancelId,
                                                CLEDServicesDlg::kInstallationId}));
    EXPECT_TRUE(dialog->Button(CLEDServicesDlg::kInstallationId)->isDefault());

    dialog->Button(CLEDServicesDlg::kInstallationId)->click();
    ASSERT_EQ(launcher.scripts.size(), 1u);
    EXPECT_EQ(launcher.scripts[0], scriptFolder / std::string(InstallScriptName()));
    // Nothing waits for the script: the window, its buttons and the flag stay as they were.
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(installed);
    EXPECT_EQ(Shown(*dialog), (std::vector<int>{CLEDServicesDlg::kCancelId,
                                                CLEDServicesDlg::kInstallationId}));
    EXPECT_TRUE(services.calls.empty());

    dialog->Button(CLEDServicesDlg::kCancelId)->click();
    EXPECT_FALSE(dialog->isVisible());
}

#else
// Without the Pyxtune service the buttons install or remove nothing: Installation says how to
// enable that service, Uninstall how to remove an earlier version's LED service.
TEST_F(DialogLedServicesTest, OnLinuxWithoutThePyxtuneServiceTheButtonsSayWhatToDo)
{
    const struct {
        bool installed;
        int button;
        const char* says;
    } rows[] = {
        {false, CLEDServicesDlg::kInstallationId, "sudo systemctl enable --now pyxtuned.socket"},
        {true, CLEDServicesDlg::kUninstallId, "sudo systemctl disable --now LumoraServices.service"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.button);
        installed = row.installed;
        messages->messages.clear();
        auto dialog = MakeDialog();
        dialog->Button(row.button)->click();
        ASSERT_EQ(messages->messages.size(), 1u);
        EXPECT_NE(messages->messages[0].text.find(row.says), std::string::npos) << messages->messages[0].text;
        EXPECT_TRUE(launcher.scripts.empty());
        EXPECT_TRUE(services.calls.empty());
        EXPECT_EQ(installed, row.installed);
    }
}
#endif

TEST_F(DialogLedServicesTest, StartStopTogglesTheServiceTellsTheUserAndHides)
{
    Install(ServiceState::Running);
    auto dialog = MakeDialog();
    EXPECT_EQ(Shown(*dialog), (std::vector<int>{CLEDServicesDlg::kStartStopId,
                                                CLEDServicesDlg::kUninstallId}));
    EXPECT_TRUE(dialog->Button(CLEDServicesDlg::kStartStopId)->isDefault());

    dialog->Button(CLEDServicesDlg::kStartStopId)->click();
    EXPECT_EQ(State(), ServiceState::Stopped);
    ASSERT_EQ(messages->messages.size(), 1u);
    EXPECT_EQ(messages->messages[0].text, "stop success.");
    EXPECT_EQ(messages->messages[0].caption, "Pyxtune");
    EXPECT_EQ(messages->messages[0].icon, MessageIcon::None);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(services.serviceOpen());
    EXPECT_FALSE(services.managerOpen());

    // Shown again, the same window starts the service.
    dialog->show();
    dialog->Button(CLEDServicesDlg::kStartStopId)->click();
    EXPECT_EQ(State(), ServiceState::Running);
    ASSERT_EQ(messages->messages.size(), 2u);
    EXPECT_EQ(messages->messages[1].text, "start success.");
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(installed);
}

TEST_F(DialogLedServicesTest, APendingServiceIsLeftAloneAndAVanishedOneClearsTheFlag)
{
    Install(ServiceState::StartPending);
    auto dialog = MakeDialog();
    dialog->Button(CLEDServicesDlg::kStartStopId)->click();
    EXPECT_FALSE(Called("RequestStart"));
    EXPECT_FALSE(Called("RequestStop"));
    EXPECT_TRUE(messages->messages.empty());
    EXPECT_FALSE(dialog->isVisible()) << "hidden all the same";

    // Removed behind the program's back: the next toggle finds out.
    services.services.clear();
    dialog->show();
    dialog->Button(CLEDServicesDlg::kStartStopId)->click();
    EXPECT_FALSE(installed);
    EXPECT_TRUE(messages->messages.empty());
    // The button set is the one chosen when the window was built.
    dialog->show();
    EXPECT_EQ(Shown(*dialog), (std::vector<int>{CLEDServicesDlg::kStartStopId,
                                                CLEDServicesDlg::kUninstallId}));
}

TEST_F(DialogLedServicesTest, AStartThatNeverArrivesEndsSilentlyAtTheLimit)
{
    Install(ServiceState::Stopped);
    services.services[std::string(kLedServiceName)].afterStart = {{ServiceState::StartPending, 500}};
    auto dialog = MakeDialog();
    dialog->Button(CLEDServicesDlg::kStartStopId)->click();
    EXPECT_TRUE(messages->messages.empty());
    EXPECT_GE(clock, 30000ms);
    EXPECT_LT(clock, 31000ms);
    EXPECT_FALSE(services.managerOpen());
}

#ifdef _WIN32
TEST_F(DialogLedServicesTest, UninstallStopsARunningServiceThenRunsTheRemoveScript)
{
    Install(ServiceState::Running);
    auto dialog = MakeDialog();
    dialog->Button(CLEDServicesDlg::kUninstallId)->click();
    EXPECT_EQ(State(), ServiceState::Stopped);
    ASSERT_EQ(launcher.scripts.size(), 1u);
    EXPECT_EQ(launcher.scripts[0], scriptFolder / std::string(RemoveScriptName()));
    EXPECT_TRUE(messages->messages.empty()) << "the stop for removal is silent";
    EXPECT_TRUE(installed) << "the flag waits for the next query";
    EXPECT_TRUE(dialog->isVisible());

    // Without a service manager the script still runs.
    services.managerAvailable = false;
    dialog->Button(CLEDServicesDlg::kUninstallId)->click();
    EXPECT_EQ(launcher.scripts.size(), 2u);
}
#endif

}  // namespace

// Where the Pyxtune service keeps the lighting, the same buttons switch its keep-lighting choice
// and nothing of a service of their own: no script, no service manager. What the service
// refuses is said, and the flag stays as it was.
TEST_F(DialogLedServicesTest, WithThePyxtuneServiceTheButtonsSwitchItsKeepLightingChoice)
{
    const struct {
        bool installed;      // the service's choice when the dialog opens
        int button;
        const char* refusal; // the service's answer; null: taken
        bool after;
        const char* said;    // null: nothing
    } rows[] = {
        {true, CLEDServicesDlg::kStartStopId, nullptr, false, "stop success."},
        {false, CLEDServicesDlg::kInstallationId, nullptr, true, nullptr},
        {true, CLEDServicesDlg::kUninstallId, nullptr, false, nullptr},
        {true, CLEDServicesDlg::kStartStopId, "denied: not in the group pyxtune", true, "denied: not in the group pyxtune"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.button);
        installed = row.installed;
        messages->messages.clear();
        std::vector<bool> asked;
        LedServicesContext context{services, launcher, messages, scriptFolder, installed};
        context.keepLighting = [&](bool keep) {
            asked.push_back(keep);
            return std::string(row.refusal ? row.refusal : "");
        };
        CLEDServicesDlg dialog(context);
        dialog.show();
        dialog.Button(row.button)->click();
        EXPECT_EQ(asked, std::vector<bool>{!row.installed});
        EXPECT_EQ(installed, row.after);
        EXPECT_EQ(messages->messages.empty() ? std::string() : messages->messages[0].text, row.said ? row.said : "");
        EXPECT_TRUE(launcher.scripts.empty());
        EXPECT_TRUE(services.calls.empty());
    }
}
