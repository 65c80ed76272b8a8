#pragma once
#include <memory>

#include <QDialog>
#include <QImage>
#include <QPoint>
#include <QString>

#include "app/TuningPage.h"
#include "led/LedPageState.h"
#include "ui/main/MainWindowClicks.h"
#include "ui/main/MainWindowContext.h"
#include "ui/main/MainWindowControls.h"
#include "ui/main/MainWindowFlags.h"
#include "ui/main/MainWindowSkin.h"
#include "ui/main/MainWindowSliders.h"
#include "ui/main/TrayWindow.h"

class QMenu;

namespace pyx {

class CHistoryDlg;
class LedPageCommands;
class MainWindowCommands;
class MainWindowDialogs;
class MainWindowMonitor;
class TrayIcon;

// The program's main window: a frameless, skinned dialog whose face is one 750 x 810 image,
// shaped to it, with its 66 controls at fixed places. It can only be hidden (to the
// notification area, or minimised where the desktop has none); "Quit" in the tray menu or the
// window menu ends the program.
//
// The window owns its state and its parts and hands each helper only the parts that helper
// works with: the lighting page, the command dispatcher, the two dialogs, the one-second
// timer, the start-up and the notification-area icon never see the window itself.
class CVornDlg : public QDialog, public TrayWindow {
    Q_OBJECT

public:
    explicit CVornDlg(MainWindowContext context, QWidget* parent = nullptr);
    ~CVornDlg() override;

    // The start-up: lighting probes, slider ranges, the boost-clock check, the loaded settings
    // (or the card's lighting), the notification-area start and the one-second timer. False
    // when the card was refused; the program then ends.
    bool OnInitDialog();

    // ---- parts and state ----
    MainWindowControls& Controls() { return controls_; }
    // The clicks the window makes on its own controls, delivered as a user's are.
    const MainWindowClicks& Clicks() const { return clicks_; }
    const MainWindowSkin& Skin() const { return skin_; }
    MainWindowSliders& Sliders() { return sliders_; }
    TuningPage& Page() { return page_; }
    LedPageState& LedPage() { return ledPage_; }
    MainWindowFlags& Flags() { return flags_; }
    MainWindowCommands& Commands() { return *commands_; }
    LedPageCommands& LedCommands() { return *ledCommands_; }
    MainWindowMonitor& Monitor() { return *monitor_; }
    TrayIcon& Tray() { return *tray_; }
    // The window's own menu (right click, Alt+Space) with the About item and "Quit".
    QMenu* WindowMenu() const { return windowMenu_; }

    // The tray's left click and "Main Window", and a second start: shown normally, in front.
    void ShowFromTray(bool onlyWhenHidden) override;
    // The session ends: the lights go out.
    void OnSessionEnd();
    // A settings file that could not be written. Hidden in the notification area, the window
    // says it beside the icon, whose message may pass unseen, and again in a box when it is
    // next shown; on screen, or where there is no notification area, in a box at once.
    void SayFailedSave(const QString& text);

signals:
    // A start-up refusal: the program is to end.
    void endProgram();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

public slots:
    void reject() override;
    void accept() override;

private:
    // The window's icon and menu, the first skin, the notification-area icon and the controls.
    void Build();
    void BuildWindowMenu();
    void DrawBadge(QPainter& painter);
    void ShowAbout();
    // Beside the tray icon, or where there is none in a box the timer does not wait for.
    void WarnWithoutWaiting(const QString& text);
    // What the notification-area icon asks of the window.
    bool IsSimulated() const override;
    void QuitNow() override;
    void ShowMonitor() override;

    MainWindowContext context_;
    MainWindowFlags flags_;
    TuningPage page_;
    LedPageState ledPage_;
    MainWindowControls controls_;
    MainWindowSkin skin_;
    MainWindowClicks clicks_;
    MainWindowSliders sliders_;
    std::unique_ptr<LedPageCommands> ledCommands_;
    std::unique_ptr<MainWindowDialogs> dialogs_;
    std::unique_ptr<MainWindowCommands> commands_;
    std::unique_ptr<MainWindowMonitor> monitor_;
    std::unique_ptr<TrayIcon> tray_;
    // Made at its first opening and kept: it reads the history only while shown.
    std::unique_ptr<CHistoryDlg> history_;
    QImage icon_;
    QMenu* windowMenu_ = nullptr;
    // Failed saves told only beside the icon, one a line, for the window to say when shown.
    QString unsaidSaveFailures_;

    // A press on the face, and whether the pointer has since moved far enough to move the window.
    bool pressed_ = false;
    bool moving_ = false;
    QPoint pressAt_;
    QPoint dragOffset_;
};

}  // namespace pyx
