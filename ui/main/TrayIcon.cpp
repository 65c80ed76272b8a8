#include "ui/main/TrayIcon.h"

#include <QCoreApplication>
#include <QMenu>

#include "ui/controls/SkinImages.h"

namespace pyx {

TrayIcon::TrayIcon(TrayWindow& window) : window_(window), menu_(std::make_unique<QMenu>()) {
    mainWindow_ = menu_->addAction(tr("Main Window"), this, &TrayIcon::OnMainWindow);
    monitor_ = menu_->addAction(tr("Monitor"), this, [this] { window_.ShowMonitor(); });
    quit_ = menu_->addAction(tr("Quit"), this, &TrayIcon::OnQuit);
    icon_.setContextMenu(menu_.get());
    connect(&icon_, &QSystemTrayIcon::activated, this, &TrayIcon::OnActivated);
}

TrayIcon::~TrayIcon() = default;

void TrayIcon::Add() {
    icon_.setIcon(QIcon(QPixmap::fromImage(LoadSkinImage(128))));
    icon_.setToolTip(ToolTip());
    icon_.show();
}

QString TrayIcon::ToolTip() const {
    return window_.IsSimulated() ? tr("Pyxtune (simulated GPU)") : QStringLiteral("Pyxtune");
}

void TrayIcon::ShowWarning(const QString& text) {
    // A text of the core's comes as the core writes it, as it does to a message box.
    lastWarning_ = QCoreApplication::translate("Messages", text.toUtf8().constData());
    icon_.showMessage(QStringLiteral("Pyxtune"), lastWarning_, QSystemTrayIcon::Warning);
}

void TrayIcon::OnActivated(QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger) window_.ShowFromTray(false);
}

void TrayIcon::OnMainWindow() { window_.ShowFromTray(true); }

void TrayIcon::OnQuit() { window_.QuitNow(); }

}  // namespace pyx
