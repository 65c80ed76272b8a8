#pragma once
#include <array>
#include <filesystem>
#include <memory>

#include <QDialog>
#include <QHash>
#include <QImage>
#include <QPoint>
#include <QRegion>
#include <QTimer>

#include "app/AppCore.h"
#include "app/StartMode.h"
#include "app/TuningPage.h"
#include "led/LedEffectEngine.h"
#include "led/LedPageState.h"
#include "platform/LogonRunList.h"
#include "platform/ProcessLauncher.h"
#include "platform/ServiceControl.h"
#include "ui/main/MainWindowLayout.h"
#include "ui/main/UserPrompts.h"

class CBitmapSlider;
class CMPButton;
class CMPStatic;
class CMPToolTip2;
class QComboBox;
class QMenu;
class QSlider;

namespace pyx {

class AppFonts;
class LedPageCommands;
class MainWindowCommands;
class MainWindowDialogs;
class MainWindowMonitor;
class TrayIcon;

// What the main window works with. Everything outlives the window.
struct MainWindowContext {
    MainWindowContext(AppCore& c, LedEffectEngine& e, UserPrompts& p, const AppFonts* f = nullptr)
        : core(c), engine(e), prompts(p), fonts(f) {}

    AppCore& core;
    LedEffectEngine& engine;
    UserPrompts& prompts;
    const AppFonts* fonts = nullptr;  // null: Qt's default font everywhere
    // The seams the settings and LED service dialogs use; without them those buttons do nothing.
    ServiceControl* services = nullptr;
    ProcessLauncher* launcher = nullptr;
    LogonRunList* runList = nullptr;
    std::filesystem::path programFile;
    // Ends the process at once, without saving (the "Quit" of the tray and window menus).
    std::function<void()> quitNow;
    // Whether the desktop has a notification area to hide into now; unset: it has.
    std::function<bool()> trayAvailable;
};

// The flags the window, its timer and its dialogs share.
struct MainWindowFlags {
    bool mainWindowShown = true;
    bool profileDialogOpen = false;
    bool settingsDialogOpen = false;
    // A start-up refusal asked the program to end.
    bool quitRequested = false;
};

// The program's main window: a frameless, skinned dialog whose face is one 750 x 810 image,
// shaped to it, with its 66 controls at fixed places. It can only be hidden (to the
// notification area, or minimised where the desktop has none); "Quit" in the tray menu or the
// window menu ends the program.
class CVornDlg : public QDialog {
    Q_OBJECT

public:
    explicit CVornDlg(MainWindowContext context, QWidget* parent = nullptr);
    ~CVornDlg() override;

    // The start-up: lighting probes, slider ranges, the boost-clock check, the loaded settings
    // (or the card's lighting), the notification-area start and the one-second timer. False
    // when the card was refused; the program then ends.
    bool OnInitDialog();

    // Start-up pieces, in the order the start-up calls them: window icon and menu, the
    // notification-area icon, then the controls, the plain child and the tooltip.
    void CreateWindowParts();
    void AddTrayIcon();
    void CreateControls();

    void ApplySkin(int bitmapId);
    int SkinId() const { return skinId_; }
    const QImage& SkinImage() const { return skin_; }

    // For each value label whose flag shares a bit with mask: repaint its cells, or draw it.
    void DrawValueLabels(int mask, bool invalidateOnly, QPainter* painter);
    // The text a value label shows now; empty when its condition fails.
    QString ValueLabelText(int flag) const;

    // ---- controls ----
    QWidget* Control(int id) const;
    CMPButton* Button(int id) const;
    CBitmapSlider* Slider(int id) const;
    CMPStatic* Label(int id) const;
    QComboBox* TimerCombo(int k) const { return combos_[static_cast<size_t>(k)]; }
    QSlider* ColourTrackbar(int k) const { return trackbars_[static_cast<size_t>(k)]; }
    CMPToolTip2* ToolTip() const { return toolTip_; }
    QWidget* PlainChild() const { return plainChild_; }
    TrayIcon& Tray() { return *tray_; }

    // A click on a control, delivered at once (as a sent press and release) or queued behind
    // what is waiting (as a posted one).
    void SendClick(int id);
    void PostClick(int id);

    // ---- state ----
    TuningPage& Page() { return page_; }
    LedPageState& LedPage() { return ledPage_; }
    MainWindowFlags& Flags() { return flags_; }
    AppCore& Core() { return context_.core; }
    GpuBoardTable& Boards() { return context_.core.Boards(); }
    LedEffectEngine& Engine() { return context_.engine; }
    UserPrompts& Prompts() { return context_.prompts; }
    const MainWindowContext& Context() const { return context_; }
    MainWindowCommands& Commands() { return *commands_; }
    LedPageCommands& LedCommands() { return *ledCommands_; }
    MainWindowDialogs& Dialogs() { return *dialogs_; }
    bool IsSimulated() const;

    // The six bitmap sliders follow the page: ranges, values, enabled state; redrawn.
    void PageToSliders();
    // The colour trackbars and timer boxes into the lighting page.
    void CaptureLedPageControls();
    void InvalidateRect(const QRect& rect) { update(rect); }

    // Timer event 2: readouts, the lighting's load, and in the background the skin and sliders.
    void OnMonitorTimer();
    QTimer& MonitorTimer() { return monitorTimer_; }
    // The tray's left click and "Main Window": shown normally, in front.
    void ShowFromTray(bool onlyWhenHidden);
    // The session ends: the lights go out.
    void OnSessionEnd();
    // The About box.
    void ShowAbout();
    // The window's own menu (right click, Alt+Space) with the About item and "Quit".
    QMenu* WindowMenu() const { return windowMenu_; }
    // Whether hiding can go to the notification area; without one the window is minimised
    // to the task bar instead, so that it can always be brought back.
    bool HasTray() const;
    // Ends the program at once, without saving.
    void QuitNow();

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
    void BuildColourControls();
    void BuildWindowMenu();
    QFont AppFontOr(int index, const QFont& fallback) const;
    void DrawBadge(QPainter& painter);
    void OnSliderNotification(int controlId, int position);

public:
    // Each slider's value back into its range, and redrawn.
    void ReclampSliders();

private:

    MainWindowContext context_;
    MainWindowFlags flags_;
    TuningPage page_;
    LedPageState ledPage_;
    int skinId_ = kSkinNormal;
    QImage skin_;
    QHash<int, QRegion> regions_;
    QImage icon_;

    std::array<QWidget*, kControlCount> controls_{};
    std::array<QComboBox*, 3> combos_{};
    std::array<QSlider*, 3> trackbars_{};
    QWidget* plainChild_ = nullptr;
    CMPToolTip2* toolTip_ = nullptr;
    QMenu* windowMenu_ = nullptr;
    std::unique_ptr<TrayIcon> tray_;
    std::unique_ptr<MainWindowCommands> commands_;
    std::unique_ptr<LedPageCommands> ledCommands_;
    std::unique_ptr<MainWindowDialogs> dialogs_;
    std::unique_ptr<MainWindowMonitor> monitor_;
    QTimer monitorTimer_;

    bool dragging_ = false;
    QPoint dragOffset_;
};

}  // namespace pyx
