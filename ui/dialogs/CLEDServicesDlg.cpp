#include "ui/dialogs/CLEDServicesDlg.h"

#include "platform/MessageOutput.h"
#include "ui/dialogs/DialogLook.h"
#include "ui/dialogs/DialogUnits.h"

#include <QHideEvent>
#include <QPushButton>

#include <utility>

CLEDServicesDlg::CLEDServicesDlg(LedServicesContext context, QWidget* parent)
    : QDialog(parent), context_(std::move(context))
{
    setWindowTitle(tr("LED Services"));
    setFont(DialogUnits::DialogFont());
    const DialogUnits units(font());
    setFixedSize(units.Size(204, 94));

    // Two places, one button of each shown: which pair depends on the service being there.
    const QRect left = units.Rect(32, 34, 55, 21);
    const QRect right = units.Rect(117, 34, 55, 21);
    auto make = [this](const QString& text, const QRect& rect) {
        auto* button = new QPushButton(text, this);
        button->setGeometry(rect);
        return button;
    };
    startStopButton_ = make(tr("Start/Stop"), left);
    installationButton_ = make(tr("Installation"), left);
    cancelButton_ = make(tr("Cancel"), right);
    uninstallButton_ = make(tr("Uninstall"), right);

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
    pyx::ApplyDialogLook(*this);
}

MessageSink& CLEDServicesDlg::Messages()
{
    if (context_.messages)
        return *context_.messages;
    // Held while the message is shown, even if the sink is replaced meanwhile.
    shownWith_ = MessageOutput::Sink();
    return *shownWith_;
}

bool CLEDServicesDlg::KeepLighting(bool keep, const char* success)
{
    const std::string why = context_.keepLighting(keep);
    if (!why.empty()) {
        Messages().ShowMessage(why, kLedServiceCaption, MessageIcon::Error);
        return false;
    }
    context_.ledServiceInstalled = keep;
    if (success)
        Messages().ShowMessage(success, kLedServiceCaption, MessageIcon::None);
    return true;
}

void CLEDServicesDlg::Tell(const QString& text)
{
    Messages().ShowMessage(text.toStdString(), kLedServiceCaption, MessageIcon::None);
}

void CLEDServicesDlg::OnStartStop()
{
    if (context_.keepLighting) {
        const bool keep = !context_.ledServiceInstalled;
        KeepLighting(keep, keep ? kLedServiceStartedText : kLedServiceStoppedText);
        accept();
        return;
    }
    ToggleLedService(context_.services, Messages(), context_.ledServiceInstalled, context_.timing);
    accept();
}

void CLEDServicesDlg::OnInstallation()
{
    if (context_.keepLighting) {
        KeepLighting(true, nullptr);
        return;
    }
#ifdef _WIN32
    // The script runs on its own; the next query (at the next start, or "Start/Stop") sees it.
    InstallLedService(context_.launcher, context_.scriptFolder);
#else
    Tell(tr("On Linux the Pyxtune service keeps the lighting running when Pyxtune is closed, "
            "and no Pyxtune service answers. Enable it with: sudo systemctl enable --now "
            "pyxtuned.socket"));
#endif
}

void CLEDServicesDlg::OnUninstall()
{
    if (context_.keepLighting) {
        KeepLighting(false, nullptr);
        return;
    }
#ifdef _WIN32
    UninstallLedService(context_.services, context_.launcher, context_.scriptFolder,
                        context_.timing);
#else
    Tell(tr("The LED service LumoraServices comes from an earlier version of Pyxtune; on Linux the "
            "Pyxtune service does its work. Remove it with: sudo systemctl disable --now "
            "LumoraServices.service, then sudo rm /etc/systemd/system/LumoraServices.service"));
#endif
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
