#include "ui/dialogs/CLEDServicesDlg.h"

#include "platform/MessageOutput.h"
#include "ui/dialogs/DialogUnits.h"

#include <QHideEvent>
#include <QPushButton>

#include <utility>

CLEDServicesDlg::CLEDServicesDlg(LedServicesContext context, QWidget* parent)
    : QDialog(parent), context_(std::move(context))
{
    setWindowTitle(QStringLiteral("LED Services"));
    setFont(DialogUnits::DialogFont());
    const DialogUnits units(font());
    setFixedSize(units.Size(204, 94));

    // Two places, one button of each shown: which pair depends on the service being there.
    const QRect left = units.Rect(32, 34, 55, 21);
    const QRect right = units.Rect(117, 34, 55, 21);
    auto make = [this](const char* text, const QRect& rect) {
        auto* button = new QPushButton(QString::fromLatin1(text), this);
        button->setGeometry(rect);
        return button;
    };
    startStopButton_ = make("Start/Stop", left);
    installationButton_ = make("Installation", left);
    cancelButton_ = make("Cancel", right);
    uninstallButton_ = make("Uninstall", right);

    const bool installed = context_.ledServiceInstalled;
    startStopButton_->setVisible(installed);
    uninstallButton_->setVisible(installed);
    installationButton_->setVisible(!installed);
    cancelButton_->setVisible(!installed);
    (installed ? startStopButton_ : installationButton_)->setDefault(true);

    connect(startStopButton_, &QPushButton::clicked, this, [this] { OnStartStop(); });
    connect(installationButton_, &QPushButton::clicked, this, [this] { OnInstallation(); });
    connect(uninstallButton_, &QPushButton::clicked, this, [this] { OnUninstall(); });
    connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
}

MessageSink& CLEDServicesDlg::Messages()
{
    if (context_.messages)
        return *context_.messages;
    // Held while the message is shown, even if the sink is replaced meanwhile.
    shownWith_ = MessageOutput::Sink();
    return *shownWith_;
}

void CLEDServicesDlg::OnStartStop()
{
    ToggleLedService(context_.services, Messages(), context_.ledServiceInstalled, context_.timing);
    accept();
}

void CLEDServicesDlg::OnInstallation()
{
    // The script runs on its own; the next query (at the next start, or "Start/Stop") sees it.
    InstallLedService(context_.launcher, context_.scriptFolder);
}

void CLEDServicesDlg::OnUninstall()
{
    UninstallLedService(context_.services, context_.launcher, context_.scriptFolder,
                        context_.timing);
}

void CLEDServicesDlg::ReleaseWhenHidden()
{
    releaseWhenHidden_ = true;
    if (!isVisible())
        deleteLater();
}

void CLEDServicesDlg::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    if (releaseWhenHidden_ && !event->spontaneous())
        deleteLater();
}

QPushButton* CLEDServicesDlg::Button(int id) const
{
    switch (id) {
    case kStartStopId:
        return startStopButton_;
    case kCancelId:
        return cancelButton_;
    case kInstallationId:
        return installationButton_;
    case kUninstallId:
        return uninstallButton_;
    default:
        return nullptr;
    }
}
