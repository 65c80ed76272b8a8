#include "ui/main/TrayIcon.h"

#include <QMenu>

#include <cstdlib>

#include "ui/controls/SkinImages.h"
#include "ui/main/CVornDlg.h"

namespace pyx {

TrayIcon::TrayIcon(CVornDlg& window) : window_(window), menu_(std::make_unique<QMenu>()) {
    mainWindow_ = menu_->addAction(QStringLiteral("Main Window"), this, &TrayIcon::OnMainWindow);
    quit_ = menu_->addAction(QStringLiteral("Quit"), this, &TrayIcon::OnQuit);
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
    QString tip = QStringLiteral("Pyxtune");
    if (window_.IsSimulated()) tip += QStringLiteral(" (simulated GPU)");
    return tip;
}

void TrayIcon::OnActivated(QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger) window_.ShowFromTray(false);
}

void TrayIcon::OnMainWindow() { window_.ShowFromTray(true); }

void TrayIcon::OnQuit() {
    // Nothing is saved and nothing is stopped: the system reclaims it all.
    if (window_.Context().quitNow) {
        window_.Context().quitNow();
        return;
    }
    std::_Exit(0);
}

}  // namespace pyx
