#include "ui/dialogs/CSetDialog.h"

#include "app/RunEntry.h"
#include "platform/MessageOutput.h"
#include "ui/dialogs/DialogLook.h"
#include "ui/dialogs/DialogUnits.h"
#include "ui/dialogs/PathText.h"

#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <utility>

namespace {

// The settings' own rows end here (dialog units); the fans lines and the buttons follow.
constexpr int kFansTop = 88;
constexpr int kKeepTop = 116;
constexpr int kButtonsTop = 146;
constexpr int kHeight = 166;
constexpr int kWidth = 188;

}  // namespace

CSetDialog::CSetDialog(SetDialogContext context, QWidget* parent)
    : QDialog(parent), context_(std::move(context))
{
    setWindowTitle(tr("Settings"));
    setFont(DialogUnits::DialogFont());
    const DialogUnits units(font());

    auto* okButton = new QPushButton(tr("Ok"), this);
    okButton->setGeometry(units.Rect(26, kButtonsTop, 50, 14));
    okButton->setDefault(true);
    ok_ = okButton;
    cancel_ = new QPushButton(tr("Cancel"), this);
    cancel_->setGeometry(units.Rect(116, kButtonsTop, 50, 14));

    doNotRun_ = new QRadioButton(tr("Do not run"), this);
    doNotRun_->setGeometry(units.Rect(20, 10, 50, 10));
    run_ = new QRadioButton(tr("Run"), this);
    run_->setGeometry(units.Rect(110, 10, 29, 10));
    runInTray_ = new QRadioButton(tr("Run and minimize to system tray"), this);
    runInTray_->setGeometry(units.Rect(20, 27, 119, 10));

    // The box is drawn under the status line and "Set", which are its siblings, as in a
    // dialog template.
    ledGroup_ = new QGroupBox(tr("LED Services"), this);
    ledGroup_->setGeometry(units.Rect(17, 45, 155, 36));
    status_ = new QLabel(this);
    status_->setGeometry(units.Rect(24, 59, 83, 11));
    set_ = new QPushButton(tr("Set"), this);
    set_->setGeometry(units.Rect(116, 58, 50, 14));

    fansAutomatic_ = new QCheckBox(tr(kFansAutomaticText), this);
    fansAutomatic_->setGeometry(units.Rect(20, kFansTop, 150, 10));
    fansAutomatic_->setChecked(context_.options.fansAutomaticOnExit);
    // The way back when the window cannot be reached; selectable, to be copied into a terminal.
    fansHelp_ = new QLabel(FansHelpText(), this);
    fansHelp_->setGeometry(units.Rect(20, kFansTop + 13, 150, 10));
    fansHelp_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    askKeep_ = new QCheckBox(tr(kAskKeepText), this);
    askKeep_->setGeometry(units.Rect(20, kKeepTop, 150, 10));
    askKeep_->setChecked(context_.options.askBeforeKeeping);
    revertAfterLabel_ = new QLabel(tr("Revert after (seconds):"), this);
    revertAfterLabel_->setGeometry(units.Rect(30, kKeepTop + 14, 90, 10));
    revertAfter_ = new QSpinBox(this);
    revertAfter_->setGeometry(units.Rect(120, kKeepTop + 12, 40, 13));
    revertAfter_->setRange(pyx::kRevertAfterMinS, pyx::kRevertAfterMaxS);
    revertAfter_->setValue(context_.options.revertAfterS);
    revertAfter_->setEnabled(askKeep_->isChecked());
    connect(askKeep_, &QCheckBox::toggled, revertAfter_, &QWidget::setEnabled);
    status_->setText(tr(context_.ledServices.ledServiceInstalled ? kInstalledText : kNotInstalledText));
    FitToText(units);

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

std::filesystem::path CSetDialog::CliProgramBeside(const std::filesystem::path& programFile)
{
#ifdef _WIN32
    return programFile.parent_path() / "pyxtunectl.exe";
#else
    return programFile.parent_path() / "pyxtunectl";
#endif
}

QString CSetDialog::FansHelpText() const
{
    QString program = QDir::toNativeSeparators(PathToQString(CliProgramBeside(context_.programFile)));
    // Pasted into a terminal, a path with blanks must stay one word.
    if (program.contains(QLatin1Char(' ')))
        program = QLatin1Char('"') + program + QLatin1Char('"');
    return tr("Fans stuck? Run: %1 fan auto").arg(program);
}

void CSetDialog::FitToText(const DialogUnits& units)
{
    for (QWidget* text : std::initializer_list<QWidget*>{doNotRun_, run_, runInTray_, status_, fansAutomatic_, fansHelp_,
                                                         askKeep_, revertAfterLabel_}) {
        const QSize needed = text->sizeHint();
        text->resize(std::max(text->width(), needed.width()), std::max(text->height(), needed.height()));
    }
    const int gap = units.X(4);
    const auto follow = [gap](QWidget* before, QWidget* after) {
        after->move(std::max(after->x(), before->geometry().right() + 1 + gap), after->y());
    };
    follow(doNotRun_, run_);
    follow(status_, set_);
    follow(revertAfterLabel_, revertAfter_);
    // The box still encloses "Set", as far to its right as the template has it.
    ledGroup_->resize(std::max(ledGroup_->width(), set_->geometry().right() + 1 + units.X(6) - ledGroup_->x()),
                      ledGroup_->height());
    int right = units.X(kWidth) - units.X(18);
    for (const QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        right = std::max(right, child->geometry().right() + 1);
    setFixedSize(right + units.X(18), units.Y(kHeight));
}

void CSetDialog::StoreOptions()
{
    pyx::ProgramOptions chosen = context_.options;
    chosen.fansAutomaticOnExit = fansAutomatic_->isChecked();
    chosen.askBeforeKeeping = askKeep_->isChecked();
    chosen.revertAfterS = revertAfter_->value();
    if (chosen.fansAutomaticOnExit == context_.options.fansAutomaticOnExit &&
        chosen.askBeforeKeeping == context_.options.askBeforeKeeping && chosen.revertAfterS == context_.options.revertAfterS)
        return;
    // The choice holds for this run whether or not it reached the file.
    context_.options = chosen;
    if (context_.saveOptions && context_.saveOptions())
        return;
    const QString text =
        tr("The choices could not be saved to \"%1\". They hold until Pyxtune exits.")
            .arg(QDir::toNativeSeparators(PathToQString(context_.optionsFile)));
    std::shared_ptr<MessageSink> sink = context_.messages;
    if (!sink) {
        // Held while the message is shown, even if the sink is replaced meanwhile.
        shownWith_ = MessageOutput::Sink();
        sink = shownWith_;
    }
    sink->ShowMessage(text.toStdString(), "Pyxtune", MessageIcon::Error);
}

void CSetDialog::OnOk()
{
    StoreOptions();
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
    case kFansAutomaticId:
        return fansAutomatic_;
    case kAskKeepId:
        return askKeep_;
    default:
        return nullptr;
    }
}

QString CSetDialog::StatusText() const { return status_->text(); }
