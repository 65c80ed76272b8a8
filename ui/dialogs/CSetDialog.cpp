#include "ui/dialogs/CSetDialog.h"

#include "app/RunEntry.h"
#include "ui/dialogs/DialogLook.h"
#include "ui/dialogs/DialogUnits.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include <utility>

CSetDialog::CSetDialog(SetDialogContext context, QWidget* parent)
    : QDialog(parent), context_(std::move(context))
{
    setWindowTitle(tr("Settings"));
    setFont(DialogUnits::DialogFont());
    const DialogUnits units(font());
    setFixedSize(units.Size(188, 110));

    auto* okButton = new QPushButton(tr("Ok"), this);
    okButton->setGeometry(units.Rect(26, 86, 50, 14));
    okButton->setDefault(true);
    ok_ = okButton;
    cancel_ = new QPushButton(tr("Cancel"), this);
    cancel_->setGeometry(units.Rect(116, 86, 50, 14));

    doNotRun_ = new QRadioButton(tr("Do not run"), this);
    doNotRun_->setGeometry(units.Rect(20, 10, 50, 10));
    run_ = new QRadioButton(tr("Run"), this);
    run_->setGeometry(units.Rect(110, 10, 29, 10));
    runInTray_ = new QRadioButton(tr("Run and minimize to system tray"), this);
    runInTray_->setGeometry(units.Rect(20, 27, 119, 10));

    // The box is drawn under the status line and "Set", which are its siblings, as in a
    // dialog template.
    auto* group = new QGroupBox(tr("LED Services"), this);
    group->setGeometry(units.Rect(17, 45, 155, 36));
    status_ = new QLabel(this);
    status_->setGeometry(units.Rect(24, 59, 83, 11));
    set_ = new QPushButton(tr("Set"), this);
    set_->setGeometry(units.Rect(116, 58, 50, 14));

    connect(ok_, &QAbstractButton::clicked, this, [this] { OnOk(); });
    connect(cancel_, &QAbstractButton::clicked, this, &QDialog::reject);
    connect(set_, &QAbstractButton::clicked, this, [this] { OnSet(); });
    pyx::ApplyDialogLook(*this);

    // A missing or unreadable entry leaves the mode chosen earlier in this run of the program.
    ReadStartModeFromRunEntry(context_.runList, context_.startMode);
    switch (context_.startMode) {
    case StartMode::DoNotRun:
        doNotRun_->setChecked(true);
        break;
    case StartMode::Normal:
        run_->setChecked(true);
        break;
    case StartMode::SysTray:
        runInTray_->setChecked(true);
        break;
    default:
        break;  // Unset, Minimize, OnlyApplySettings: no choice is shown
    }
    status_->setText(QString::fromLatin1(context_.ledServices.ledServiceInstalled
                                             ? kInstalledText
                                             : kNotInstalledText));
}

CSetDialog::~CSetDialog()
{
    if (ledServicesDialog_)
        ledServicesDialog_->ReleaseWhenHidden();
}

int CSetDialog::RunModal(bool& settingsDialogOpen)
{
    struct ClearOnExit
    {
        bool& flag;
        ~ClearOnExit() { flag = false; }
    } clear{settingsDialogOpen};
    settingsDialogOpen = true;
    setWindowModality(Qt::WindowModal);
    return exec();
}

void CSetDialog::OnOk()
{
    StartMode mode = StartMode::Unset;
    if (doNotRun_->isChecked())
        mode = StartMode::DoNotRun;
    else if (run_->isChecked())
        mode = StartMode::Normal;
    else if (runInTray_->isChecked())
        mode = StartMode::SysTray;
    if (mode == StartMode::Unset) {
        accept();
        return;
    }
    // The log-on list's refusals are not shown: the entry is the system's, and it is read
    // back the next time the dialog opens.
    if (mode == StartMode::DoNotRun)
        DeleteRunEntry(context_.runList);
    else
        WriteRunEntry(context_.runList, mode, context_.programFile);
    context_.startMode = mode;
    accept();
}

void CSetDialog::OnSet()
{
    if (!ledServicesDialog_)
        ledServicesDialog_ = new CLEDServicesDlg(context_.ledServices, nullptr);
    ledServicesDialog_->show();
    ledServicesDialog_->raise();
    ledServicesDialog_->activateWindow();
}

QAbstractButton* CSetDialog::Button(int id) const
{
    switch (id) {
    case kOkId:
        return ok_;
    case kCancelId:
        return cancel_;
    case kDoNotRunId:
        return doNotRun_;
    case kRunId:
        return run_;
    case kRunInTrayId:
        return runInTray_;
    case kSetId:
        return set_;
    default:
        return nullptr;
    }
}

QString CSetDialog::StatusText() const { return status_->text(); }
