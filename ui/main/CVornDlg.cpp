#include "ui/main/CVornDlg.h"

#include <QApplication>
#include <QDateTime>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QSlider>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "ui/controls/CCommandEvent.h"
#include "ui/controls/CMPButton.h"
#include "ui/controls/CMPToolTip2.h"
#include "ui/controls/CSliderEvent.h"
#include "ui/controls/SkinImages.h"
#include "ui/dialogs/CHistoryDlg.h"
#include "ui/main/CAboutDlg.h"
#include "ui/main/LedPageCommands.h"
#include "ui/main/MainWindowCommands.h"
#include "ui/main/MainWindowDialogs.h"
#include "ui/main/MainWindowMonitor.h"
#include "ui/main/MainWindowStartup.h"
#include "ui/main/ProgramEnd.h"
#include "ui/main/TrayIcon.h"

namespace pyx {

namespace {

// The window moves with the mouse wherever it is grabbed above this line.
constexpr int kMoveAreaHeight = 840;

// For measuring start-up: with PYXTUNE_FIRST_PAINT_STAMP set, the wall-clock time of the
// window's first paint goes to standard error, in nanoseconds since the epoch.
void ReportFirstPaint() {
    static bool reported = false;
    if (reported) return;
    reported = true;
    if (!qEnvironmentVariableIsSet("PYXTUNE_FIRST_PAINT_STAMP")) return;
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::system_clock::now().time_since_epoch());
    std::fprintf(stderr, "pyxtune: first paint at %lld\n", static_cast<long long>(ns.count()));
    std::fflush(stderr);
}

}  // namespace

CVornDlg::CVornDlg(MainWindowContext context, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::FramelessWindowHint),
      context_(std::move(context)),
      controls_(*this, context_.fonts),
      skin_(*this),
      clicks_(*this, controls_),
      sliders_(controls_, page_, context_.core.Boards()) {
    setWindowTitle(QStringLiteral("PYXTUNE"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    AppCore& core = context_.core;
    const auto sayFailedSave = [this](const QString& text) { SayFailedSave(text); };
    ledCommands_ = std::make_unique<LedPageCommands>(
        LedPageWindow(core, context_.engine, page_, ledPage_, controls_, clicks_, skin_, sayFailedSave));
    dialogs_ = std::make_unique<MainWindowDialogs>(
        *this, context_, flags_, [this] { commands_->RefreshFromSettings(); },
        [this](const TuningRevert& before, uint8_t modeBefore, const std::string& result) {
            commands_->KeepOrRevert(before, modeBefore, result);
        },
        [this](const std::filesystem::path& file) { commands_->LoadProfileThroughService(file); });
    commands_ = std::make_unique<MainWindowCommands>(
        CommandWindow{*this, core, context_.prompts, [this] { return context_.HasTray(); }, page_, flags_, controls_,
                      clicks_, sliders_, *ledCommands_, *dialogs_, sayFailedSave});
    monitor_ = std::make_unique<MainWindowMonitor>(
        MonitorWindow{*this, core.Boards(), page_, flags_, controls_, skin_, sliders_, context_.engine, core.Fans(),
                      core.Curves(), core.State(), [&core](int gpu) { return core.Readings(gpu); },
                      [&core] { core.RecordSamples(QDateTime::currentMSecsSinceEpoch()); },
                      [this](const QString& text) { WarnWithoutWaiting(text); }});
    if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        connect(gui, &QGuiApplication::commitDataRequest, this, [this] { OnSessionEnd(); });
}

CVornDlg::~CVornDlg() = default;

bool CVornDlg::OnInitDialog() {
    return MainWindowStartup(StartupWindow{context_.core, context_.engine, context_.prompts, page_, ledPage_, flags_,
                                           controls_, clicks_, sliders_, *ledCommands_, *commands_, *monitor_,
                                           [this] { Build(); }, [this] { emit endProgram(); },
                                           [this](const QString& text) { WarnWithoutWaiting(text); }})
        .Run();
}

bool CVornDlg::IsSimulated() const { return context_.core.Library().IsSimulated(); }

// ---- construction ----

void CVornDlg::Build() {
    icon_ = LoadSkinImage(128);
    setWindowIcon(QIcon(QPixmap::fromImage(icon_)));
    BuildWindowMenu();
    skin_.Apply(kSkinNormal);
    tray_ = std::make_unique<TrayIcon>(*this);
    tray_->Add();
    controls_.Create();
    for (int k = 0; k < 3; ++k)
        connect(controls_.ColourTrackbar(k), &QSlider::actionTriggered, this, [this] { ledCommands_->OnColourSliderMoved(); });
}

void CVornDlg::BuildWindowMenu() {
    windowMenu_ = new QMenu(this);
    windowMenu_->addAction(tr("Minimize"), this, [this] { clicks_.Send(kIdMinimise); });
    windowMenu_->addAction(tr("Close"), this, [this] { clicks_.Send(kIdHide); });
    windowMenu_->addAction(tr("Monitor..."), this, [this] { ShowMonitor(); });
    windowMenu_->addSeparator();
    windowMenu_->addAction(tr("关于 Vorn(&A)..."), this, [this] { ShowAbout(); });
    // A desktop without a notification area has no tray menu: the program must end from here.
    windowMenu_->addSeparator();
    windowMenu_->addAction(tr("Quit"), this, [this] { QuitNow(); });
}

void CVornDlg::WarnWithoutWaiting(const QString& text) {
    if (tray_ && context_.HasTray()) {
        tray_->ShowWarning(text);
        return;
    }
    // A box over a window out of sight would be placed by it; alone it sits mid-screen.
    QWidget* owner = isVisible() && !isMinimized() ? this : nullptr;
    context_.prompts.NotifyWarning(owner, text, QStringLiteral("Pyxtune"));
}

void CVornDlg::SayFailedSave(const QString& text) {
    if (!isVisible() && tray_ && context_.HasTray()) {
        tray_->ShowWarning(text);
        if (!unsaidSaveFailures_.split(QLatin1Char('\n')).contains(text))
            unsaidSaveFailures_ += (unsaidSaveFailures_.isEmpty() ? QString() : QStringLiteral("\n")) + text;
        return;
    }
    context_.prompts.NotifyWarning(isVisible() && !isMinimized() ? this : nullptr, text, QStringLiteral("Pyxtune"));
}

void CVornDlg::QuitNow() {
    // The fans go back first, when the options ask, and the reader's temporary folder goes,
    // which nothing would reclaim; nothing is saved and nothing else is stopped: the system
    // reclaims the rest.
    EndProgram(context_.core);
    if (context_.quitNow) {
        context_.quitNow();
        return;
    }
    std::_Exit(0);
}

// ---- painting ----

void CVornDlg::paintEvent(QPaintEvent*) {
    ReportFirstPaint();
    QPainter p(this);
    if (isMinimized()) {
        p.fillRect(rect(), palette().window());
        const QRect target(QPoint(0, 0), icon_.size().scaled(32, 32, Qt::KeepAspectRatio));
        p.drawImage(target.translated(rect().center() - target.center()), icon_);
        return;
    }
    p.drawImage(0, 0, skin_.Image());
    // The preview square: the colour the sliders make, picked, chosen from a swatch or mixed.
    p.fillRect(CMPButton::kSwatchRect, ledCommands_->ShownColour());
    p.setBackgroundMode(Qt::TransparentMode);
    if (page_.tuningMode != kTuningModeNone)
        sliders_.DrawValueLabels(page_.tuningMode == kTuningModeCustom ? 0xFF : 0x81, false, &p);
    if (IsSimulated() || context_.core.Service() != nullptr) DrawBadge(p);
}

void CVornDlg::DrawBadge(QPainter& p) {
    // Nobody is to take the simulator's numbers for a card's, nor wonder why a change asks
    // for a password: the service's changes are the service's.
    const bool service = context_.core.Service() != nullptr;
    const QString text = !service ? tr("SIMULATED GPU") : IsSimulated() ? tr("SIMULATED GPU · SERVICE") : tr("SERVICE");
    const QRect box(service && IsSimulated() ? 346 : 396, 24, service && IsSimulated() ? 200 : 150, 24);
    QPainterPath path;
    path.addRoundedRect(QRectF(box), 6, 6);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.fillPath(path, QColor(0xE0, 0x8A, 0x00));
    QFont f = font();
    f.setPixelSize(13);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::black);
    p.drawText(box, Qt::AlignCenter, text);
    p.restore();
}

// ---- clicks and events ----

bool CVornDlg::event(QEvent* e) {
    if (e->type() == CCommandEvent::Command) {
        commands_->OnCommand(static_cast<CCommandEvent*>(e)->Sender());
        return true;
    }
    if (e->type() == CSliderEvent::Moving || e->type() == CSliderEvent::Moved) {
        const auto* s = static_cast<CSliderEvent*>(e);
        sliders_.OnSliderMoved(s->ControlId(), s->Position());
        return true;
    }
    return QDialog::event(e);
}

void CVornDlg::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton || windowState() != Qt::WindowNoState ||
        e->position().y() >= kMoveAreaHeight) {
        QDialog::mousePressEvent(e);
        return;
    }
    // Nothing moves yet: a click on the face is not a move.
    pressed_ = true;
    moving_ = false;
    pressAt_ = e->globalPosition().toPoint();
    dragOffset_ = pressAt_ - pos();
}

void CVornDlg::mouseMoveEvent(QMouseEvent* e) {
    if (!pressed_ || !(e->buttons() & Qt::LeftButton)) return;
    const QPoint at = e->globalPosition().toPoint();
    if (!moving_) {
        if ((at - pressAt_).manhattanLength() < QApplication::startDragDistance()) return;
        // The window manager's own move where the platform has one that works: Wayland lets no
        // program place its window, and Windows snaps a window it moves. On X11 the move Qt asks
        // of the window manager is unreliable (under openbox a click jumped the window by its own
        // position), so the window follows the pointer itself there.
        if (QGuiApplication::platformName() != QLatin1String("xcb") && windowHandle() != nullptr &&
            windowHandle()->startSystemMove()) {
            pressed_ = false;
            return;
        }
        moving_ = true;
    }
    move(at - dragOffset_);
}

void CVornDlg::mouseReleaseEvent(QMouseEvent* e) {
    pressed_ = false;
    moving_ = false;
    QDialog::mouseReleaseEvent(e);
}

void CVornDlg::moveEvent(QMoveEvent* e) {
    QDialog::moveEvent(e);
    if (controls_.Created()) sliders_.ReclampSliders();
}

void CVornDlg::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
        case Qt::Key_Escape:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            e->accept();  // the window never closes from the keyboard
            return;
        case Qt::Key_Space:
            if (e->modifiers() & Qt::AltModifier) {
                if (windowMenu_ != nullptr) windowMenu_->popup(mapToGlobal(QPoint(0, 0)));
                e->accept();
                return;
            }
            break;
        default:
            break;
    }
    QWidget::keyPressEvent(e);
}

void CVornDlg::contextMenuEvent(QContextMenuEvent* e) {
    if (windowMenu_ != nullptr) windowMenu_->popup(e->globalPos());
}

void CVornDlg::closeEvent(QCloseEvent* e) {
    e->ignore();
    if (controls_.Created()) clicks_.Send(kIdHide);
}

void CVornDlg::reject() {}
void CVornDlg::accept() {}

void CVornDlg::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (controls_.ToolTip() != nullptr) controls_.ToolTip()->SetPolling(!isMinimized());
}

void CVornDlg::hideEvent(QHideEvent* e) {
    QDialog::hideEvent(e);
    // Nothing to point at while hidden: the tooltip's poll would only cost time.
    if (controls_.ToolTip() != nullptr) controls_.ToolTip()->SetPolling(false);
}

void CVornDlg::changeEvent(QEvent* e) {
    QDialog::changeEvent(e);
    if (e->type() != QEvent::WindowStateChange || !isVisible()) return;
    // Brought back from the task bar (the hide of a desktop without a tray minimises).
    if (!isMinimized()) flags_.mainWindowShown = true;
    // Nothing to point at while minimised either.
    if (controls_.ToolTip() != nullptr) controls_.ToolTip()->SetPolling(!isMinimized());
}

void CVornDlg::ShowFromTray(bool onlyWhenHidden) {
    if (onlyWhenHidden && isVisible()) return;
    showNormal();
    raise();
    activateWindow();
    flags_.mainWindowShown = true;
    if (!unsaidSaveFailures_.isEmpty())
        context_.prompts.NotifyWarning(this, std::exchange(unsaidSaveFailures_, QString()), QStringLiteral("Pyxtune"));
}

void CVornDlg::OnSessionEnd() {
    // The service's lighting outlives the desktop session; this window never drove it.
    if (context_.core.Service() == nullptr) context_.engine.SessionEnd();
}

void CVornDlg::ShowMonitor() {
    AppCore& core = context_.core;
    if (!history_)
        history_ = std::make_unique<CHistoryDlg>(
            core.History().GpuCount(), std::max(page_.selectedGpu, 0),
            [&core](int64_t sinceMs, int gpu) { return core.History().Since(sinceMs, gpu); }, this);
    else
        history_->SelectGpu(std::max(page_.selectedGpu, 0));
    history_->show();
    history_->raise();
    history_->activateWindow();
}

void CVornDlg::ShowAbout() {
    CAboutDlg about(QPixmap::fromImage(icon_), this);
    // No line at all where no settings folder is used.
    const std::filesystem::path folder = context_.core.settings.Folder().value_or(std::filesystem::path());
    about.SetSettingsFolder(QString::fromStdU16String(folder.u16string()));
    about.exec();
}

}  // namespace pyx
