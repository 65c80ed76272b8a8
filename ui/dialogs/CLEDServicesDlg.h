#pragma once

#include "app/LedService.h"
#include "platform/MessageSink.h"
#include "platform/ProcessLauncher.h"
#include "platform/ServiceControl.h"

#include <QDialog>

#include <filesystem>
#include <functional>
#include <string>
#include <memory>

class QPushButton;

// The seams and application fields the LED service dialog works on. The dialog may stay open
// after the settings dialog that opened it has ended, so all of these must live as long as the
// main window.
struct LedServicesContext
{
    ServiceControl& services;
    ProcessLauncher& launcher;
    // Where "start success." and "stop success." are told; null: the process's MessageOutput.
    std::shared_ptr<MessageSink> messages{};
    // Holds the two service scripts (written there by the main window at every start): the
    // settings folder.
    std::filesystem::path scriptFolder;
    // The application's flag: whether the service manager knew the service when last asked.
    bool& ledServiceInstalled;
    ServicePollTiming timing = ServicePollTiming::System();
    // Set where the Pyxtune service keeps the lighting (Linux): the service's "keep the
    // lighting running when Pyxtune is closed" stands for the LED service, on for "installed"
    // and "running". The buttons switch it (true: on) and get why a switch failed, empty when
    // it took.
    std::function<std::string(bool keep)> keepLighting{};
};

// A modeless window that installs, removes, starts and stops the LED background service. Its
// buttons are chosen once, when it is built: "Start/Stop" and "Uninstall" when the service was
// installed, else "Installation" and "Cancel". Its buttons hide it; they never destroy it.
class CLEDServicesDlg : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kStartStopId = 1;
    static constexpr int kCancelId = 2;
    static constexpr int kInstallationId = 3;
    static constexpr int kUninstallId = 4;

    // No parent: a top-level window of its own, not blocked by the settings dialog's run.
    explicit CLEDServicesDlg(LedServicesContext context, QWidget* parent = nullptr);

    // "Start/Stop": starts a stopped service or stops a running one, then hides the window.
    void OnStartStop();
    // "Installation": hands the install script to the shell (where the service program is
    // required, only when it is there); the window stays as it is. On Linux, where the Pyxtune
    // service is the LED service and none answers, it says how to enable that service.
    void OnInstallation();
    // "Uninstall": stops a running service, then hands the remove script to the shell. On Linux
    // without the Pyxtune service, the service found is an earlier version's: it says how to
    // remove it.
    void OnUninstall();

    // Once its opener is gone nothing can show the window again: it deletes itself when it is
    // next hidden (at once when it is hidden already).
    void ReleaseWhenHidden();

    // The button with one of the ids above; null for other ids.
    QPushButton* Button(int id) const;

protected:
    void hideEvent(QHideEvent* event) override;

private:
    // The service's keep-lighting switch as the buttons use it; false after saying why not.
    bool KeepLighting(bool keep, const char* success);
    // What the user is to do, in the dialog's caption.
    void Tell(const QString& text);

    MessageSink& Messages();

    LedServicesContext context_;
    std::shared_ptr<MessageSink> shownWith_;
    QPushButton* startStopButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QPushButton* installationButton_ = nullptr;
    QPushButton* uninstallButton_ = nullptr;
    bool releaseWhenHidden_ = false;
};
