#pragma once

#include "app/ProgramOptions.h"
#include "app/StartMode.h"
#include "platform/LogonRunList.h"
#include "platform/MessageSink.h"
#include "ui/dialogs/CLEDServicesDlg.h"

#include <QDialog>
#include <QPointer>

#include <filesystem>
#include <functional>
#include <memory>

class DialogUnits;
class QAbstractButton;
class QCheckBox;
class QGroupBox;
class QLabel;
class QRadioButton;
class QSpinBox;

// What the settings dialog works on.
struct SetDialogContext
{
    // The machine's list of programs started at log-on.
    LogonRunList& runList;
    // Full path of the program file, written into the log-on entry.
    std::filesystem::path programFile;
    // The application's start mode as this dialog last read or chose it; Unset at program start.
    // It lives as long as the program.
    StartMode& startMode;
    // Passed on to the LED service dialog that "Set" opens; its ledServiceInstalled is also
    // what the status line shows.
    LedServicesContext ledServices;
    // The program's own options: "Ok" puts the fans choice there and, when it changed, saves
    // them with saveOptions (false: they could not be written to optionsFile).
    pyx::ProgramOptions& options;
    std::function<bool()> saveOptions;
    std::filesystem::path optionsFile;
    // Where a failed save is told; null: the process's MessageOutput.
    std::shared_ptr<MessageSink> messages{};
};

// Chooses whether and how the program starts at log-on ("Do not run", "Run", "Run and minimize
// to system tray"), shows whether the LED service is installed, and whether fans this run fixed
// go back to the cards' own control when the program exits, with the terminal command that
// does it by hand. "Ok" writes or removes the log-on entry and saves the fans choice; "Cancel",
// Escape and the close box change nothing. "Set" opens the modeless LED service dialog, which
// may outlive this one.
class CSetDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kOkId = 1;
    static constexpr int kCancelId = 2;
    static constexpr int kDoNotRunId = 1024;
    static constexpr int kRunId = 1025;
    static constexpr int kRunInTrayId = 1026;
    static constexpr int kSetId = 1027;
    static constexpr int kStatusId = 1028;
    static constexpr int kGroupId = 1029;
    static constexpr int kFansAutomaticId = 1030;
    static constexpr int kAskKeepId = 1031;
    // Shown in the user's language (tr).
    static constexpr char kInstalledText[] = QT_TR_NOOP("LED Services Installed!");
    static constexpr char kNotInstalledText[] = QT_TR_NOOP("LED Uninsatlled!");
    static constexpr char kFansAutomaticText[] = QT_TR_NOOP("Return fans to automatic when Pyxtune exits");
    static constexpr char kAskKeepText[] = QT_TR_NOOP("Ask before keeping an applied tuning");

    // pyxtunectl, which lies beside the program (pyxtunectl.exe on Windows).
    static std::filesystem::path CliProgramBeside(const std::filesystem::path& programFile);

    // Reads the log-on entry into startMode and checks the matching choice.
    explicit CSetDialog(SetDialogContext context, QWidget* parent = nullptr);
    // An LED service dialog that is still shown stays; a hidden one goes.
    ~CSetDialog() override;

    // Runs the dialog modally over its parent only (so the LED service dialog it opens stays
    // usable), with `settingsDialogOpen` set for as long as it is open.
    int RunModal(bool& settingsDialogOpen);

    // "Ok": stores the checked choice (nothing when none is checked) and ends the dialog.
    void OnOk();
    // "Set": opens the LED service dialog, or shows the one opened before.
    void OnSet();

    // The buttons and choices by id (kOkId, kCancelId, kDoNotRunId, kRunId, kRunInTrayId, kSetId,
    // kFansAutomaticId, kAskKeepId).
    QAbstractButton* Button(int id) const;
    QString StatusText() const;
    // The revert time (seconds) of an applied tuning the user is asked to keep.
    QSpinBox* RevertAfterBox() const { return revertAfter_; }
    // "Fans stuck? Run: <program folder>/pyxtunectl fan auto"
    QString FansHelpText() const;
    // Null until "Set" is first clicked, and after that window deleted itself.
    CLEDServicesDlg* LedServicesDialog() const { return ledServicesDialog_; }

private:
    // The fans and keep choices into the options, saved when one changed; a failed save is told.
    void StoreOptions();
    // Each caption whole in the user's language and font: a text wider or taller than its
    // place in the template gets its size, what follows it on its row moves along, and the
    // dialog widens to hold it all (the fans help line's program path can be long).
    void FitToText(const DialogUnits& units);

    SetDialogContext context_;
    QRadioButton* doNotRun_ = nullptr;
    QRadioButton* run_ = nullptr;
    QRadioButton* runInTray_ = nullptr;
    QAbstractButton* ok_ = nullptr;
    QAbstractButton* cancel_ = nullptr;
    QAbstractButton* set_ = nullptr;
    QGroupBox* ledGroup_ = nullptr;
    QLabel* status_ = nullptr;
    QCheckBox* fansAutomatic_ = nullptr;
    QLabel* fansHelp_ = nullptr;
    QCheckBox* askKeep_ = nullptr;
    QLabel* revertAfterLabel_ = nullptr;
    QSpinBox* revertAfter_ = nullptr;
    std::shared_ptr<MessageSink> shownWith_;
    QPointer<CLEDServicesDlg> ledServicesDialog_;
};
