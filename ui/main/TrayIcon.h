#pragma once
#include <memory>

#include <QObject>
#include <QString>
#include <QSystemTrayIcon>

#include "ui/main/TrayWindow.h"

class QAction;
class QMenu;

namespace pyx {

// The notification-area icon: added once and kept for the program's life. A left click
// brings the window back; its menu offers "Main Window", "Monitor" and "Quit" (which ends the
// program at once, without saving).
class TrayIcon : public QObject {
    Q_OBJECT

public:
    explicit TrayIcon(TrayWindow& window);
    ~TrayIcon() override;

    void Add();
    QString ToolTip() const;
    QMenu* Menu() const { return menu_.get(); }
    QAction* MainWindowAction() const { return mainWindow_; }
    QAction* MonitorAction() const { return monitor_; }
    QAction* QuitAction() const { return quit_; }
    QSystemTrayIcon& Icon() { return icon_; }

    // A warning beside the icon, caption "Pyxtune", in the user's language; the text is kept as
    // the last one told.
    void ShowWarning(const QString& text);
    const QString& LastWarning() const { return lastWarning_; }

    // What the icon's clicks and menu do.
    void OnActivated(QSystemTrayIcon::ActivationReason reason);
    void OnMainWindow();
    void OnQuit();

private:
    TrayWindow& window_;
    QSystemTrayIcon icon_;
    std::unique_ptr<QMenu> menu_;
    QAction* mainWindow_ = nullptr;
    QAction* monitor_ = nullptr;
    QAction* quit_ = nullptr;
    QString lastWarning_;
};

}  // namespace pyx
