#include "ui/main/CVornDlg.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QIcon>
#include <QPixmap>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QSlider>
#include <QWindow>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "ui/controls/CBitmapSlider.h"
#include "ui/controls/CBmpRgn.h"
#include "ui/controls/CCommandEvent.h"
#include "ui/controls/CMPButton.h"
#include "ui/controls/CMPStatic.h"
#include "ui/controls/CMPToolTip2.h"
#include "ui/controls/CSliderEvent.h"
#include "ui/controls/SkinImages.h"
#include "ui/main/AppFonts.h"
#include "ui/main/CAboutDlg.h"
#include "ui/main/LedPageCommands.h"
#include "ui/main/MainWindowCommands.h"
#include "ui/main/MainWindowDialogs.h"
#include "ui/main/MainWindowMonitor.h"
#include "ui/main/MainWindowStartup.h"
#include "ui/main/TrayIcon.h"

namespace pyx {

namespace {

constexpr QRgb kTransparent = 0xFFFFFF;
constexpr int kRightInset = 2;
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

// The readout fonts are sized as cell heights for a taller face than the free digit font
// that stands in for it; a readout must show its digits whole, so the font shrinks to fit.
QFont FitReadoutFont(QFont font, QSize box) {
    const QString sample = QStringLiteral("8888");
    for (int px = font.pixelSize(); px > 6; --px) {
        font.setPixelSize(px);
        const QFontMetrics m(font);
        if (m.height() <= box.height() - 4 && m.horizontalAdvance(sample) <= box.width() - 10) break;
    }
    return font;
}

}  // namespace

CVornDlg::CVornDlg(MainWindowContext context, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::FramelessWindowHint), context_(std::move(context)) {
    setWindowTitle(QStringLiteral("PYXTUNE"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    commands_ = std::make_unique<MainWindowCommands>(*this);
    ledCommands_ = std::make_unique<LedPageCommands>(*this);
    dialogs_ = std::make_unique<MainWindowDialogs>(*this);
    monitor_ = std::make_unique<MainWindowMonitor>(*this);
    monitorTimer_.setInterval(1000);
    connect(&monitorTimer_, &QTimer::timeout, this, &CVornDlg::OnMonitorTimer);
    if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        connect(gui, &QGuiApplication::commitDataRequest, this, [this] { OnSessionEnd(); });
}

CVornDlg::~CVornDlg() = default;

bool CVornDlg::OnInitDialog() { return MainWindowStartup(*this).Run(); }

bool CVornDlg::IsSimulated() const { return context_.core.Library().IsSimulated(); }

QFont CVornDlg::AppFontOr(int index, const QFont& fallback) const {
    if (context_.fonts == nullptr) return fallback;
    const AppFont& f = context_.fonts->Font(index);
    return f.created ? f.font : fallback;
}

// ---- construction ----

void CVornDlg::CreateWindowParts() {
    icon_ = LoadSkinImage(128);
    setWindowIcon(QIcon(QPixmap::fromImage(icon_)));
    BuildWindowMenu();
}

void CVornDlg::AddTrayIcon() {
    tray_ = std::make_unique<TrayIcon>(*this);
    tray_->Add();
}

void CVornDlg::BuildWindowMenu() {
    windowMenu_ = new QMenu(this);
    windowMenu_->addAction(tr("Minimize"), this, [this] { SendClick(kIdMinimise); });
    windowMenu_->addAction(tr("Close"), this, [this] { SendClick(kIdHide); });
    windowMenu_->addSeparator();
    windowMenu_->addAction(tr("关于 Vorn(&A)..."), this, [this] { ShowAbout(); });
    // A desktop without a notification area has no tray menu: the program must end from here.
    windowMenu_->addSeparator();
    windowMenu_->addAction(tr("Quit"), this, [this] { QuitNow(); });
}

bool CVornDlg::HasTray() const { return !context_.trayAvailable || context_.trayAvailable(); }

void CVornDlg::QuitNow() {
    // Nothing is saved and nothing is stopped: the system reclaims it all.
    if (context_.quitNow) {
        context_.quitNow();
        return;
    }
    std::_Exit(0);
}

void CVornDlg::CreateControls() {
    const QFont symbols = [this] {
        QFont f = font();
        f.setPixelSize(14);
        return f;
    }();
    for (int i = 0; i < kControlCount; ++i) {
        const int id = kFirstControlId + i;
        const ControlSpec& row = MainControlTable()[static_cast<size_t>(i)];
        QWidget* w = nullptr;
        switch (row.kind) {
            case ControlKind::Button: {
                auto* b = new CMPButton(this, id);
                b->Create(id, QRect(row.rect.topLeft(), QSize(10, 10)), row.normalId, row.secondId, row.thirdId);
                w = b;
                break;
            }
            case ControlKind::Label: {
                auto* l = new CMPStatic(this, id);
                l->setGeometry(row.rect);
                w = l;
                break;
            }
            case ControlKind::Slider: {
                auto* s = new CBitmapSlider(this, id);
                s->setGeometry(row.rect);
                s->SetThumbBitmap();
                s->SetVertical();
                w = s;
                break;
            }
        }
        QFont f = AppFontOr(row.fontIndex, font());
        if (row.kind == ControlKind::Label) f = FitReadoutFont(f, row.rect.size());
        w->setFont(f);
        w->show();
        controls_[static_cast<size_t>(i)] = w;
    }
    // The two pills carry no picture of their own: a symbol says what they open.
    Button(kIdSettings)->setFont(symbols);
    Button(kIdSettings)->SetText(QString::fromUtf8("\u2699"));
    Button(kIdProfile)->setFont(symbols);
    Button(kIdProfile)->SetText(QString::fromUtf8("\u2630"));
    Label(kIdHiddenLabel)->hide();
    BuildColourControls();

    plainChild_ = new QWidget(this);
    plainChild_->setObjectName(QStringLiteral("child333"));
    plainChild_->setGeometry(0, 0, 0, 0);
    plainChild_->setProperty("controlId", kIdPlainChild);
    plainChild_->show();

    toolTip_ = new CMPToolTip2(this);
    for (const ToolTipSpec& tip : MainToolTips()) toolTip_->AddTool(Control(tip.controlId), QCoreApplication::translate("MainToolTips", tip.text));
    toolTip_->SetTipFont(AppFontOr(9, font()));
    toolTip_->SetPolling(isVisible());

    Button(kIdPicker)->SetColorPick(true);
    // The zone and effect panels show only once a controller of theirs is chosen.
    for (int id = kIdZoneMode1; id < kIdEffectMode1 + kEffectModeCount; ++id) Control(id)->hide();
}

void CVornDlg::BuildColourControls() {
    static const char* const kPeriods[3] = {"s", "s*8", "s*8"};
    const int comboY[3] = {404, 451, 498};
    for (int k = 0; k < 3; ++k) {
        auto* combo = new QComboBox(this);
        combo->setObjectName(QStringLiteral("combo%1").arg(kIdTimer1Combo + k));
        for (int seconds = 3; seconds <= 10; ++seconds)
            combo->addItem(QString::number(seconds) + QString::fromLatin1(kPeriods[k]));
        combo->setGeometry(600, comboY[k], 120, 22);
        combo->setFont(AppFontOr(9, font()));
        combos_[static_cast<size_t>(k)] = combo;

        auto* bar = new QSlider(Qt::Horizontal, this);
        bar->setObjectName(QStringLiteral("trackbar%1").arg(kIdRedTrackbar + k));
        bar->setGeometry(440, 414 + 38 * k, 70, 17);
        bar->setFocusPolicy(Qt::NoFocus);
        connect(bar, &QSlider::valueChanged, this, [this] { update(kColourPreviewRect); });
        trackbars_[static_cast<size_t>(k)] = bar;
    }
}

QWidget* CVornDlg::Control(int id) const {
    if (id == kIdPlainChild) return plainChild_;
    if (id >= kIdTimer1Combo && id < kIdTimer1Combo + 3) return combos_[static_cast<size_t>(id - kIdTimer1Combo)];
    if (id >= kIdRedTrackbar && id < kIdRedTrackbar + 3) return trackbars_[static_cast<size_t>(id - kIdRedTrackbar)];
    if (id < kFirstControlId || id >= kFirstControlId + kControlCount) return nullptr;
    return controls_[static_cast<size_t>(id - kFirstControlId)];
}
CMPButton* CVornDlg::Button(int id) const { return qobject_cast<CMPButton*>(Control(id)); }
CBitmapSlider* CVornDlg::Slider(int id) const { return qobject_cast<CBitmapSlider*>(Control(id)); }
CMPStatic* CVornDlg::Label(int id) const { return qobject_cast<CMPStatic*>(Control(id)); }

// ---- skin and painting ----

void CVornDlg::ApplySkin(int bitmapId) {
    // The same skin again (the timer's repair while in the background): the outline, the
    // image and what the window system holds of it are all in place. Repainting the whole face
    // every second was most of what an idle window cost.
    if (bitmapId == skinId_ && !skin_.isNull()) return;
    skinId_ = bitmapId;
    const QImage image = LoadSkinImage(bitmapId);
    if (image.isNull()) return;
    auto cached = regions_.find(bitmapId);
    if (cached == regions_.end())
        cached = regions_.insert(bitmapId, CBmpRgn::BuildRegion(image, kTransparent, 0, kRightInset));
    resize(image.size());
    setMask(cached.value());
    skin_ = image;
    setProperty("BmpProp", skin_);
    update();
}

void CVornDlg::paintEvent(QPaintEvent*) {
    ReportFirstPaint();
    QPainter p(this);
    if (isMinimized()) {
        p.fillRect(rect(), palette().window());
        const QRect target(QPoint(0, 0), icon_.size().scaled(32, 32, Qt::KeepAspectRatio));
        p.drawImage(target.translated(rect().center() - target.center()), icon_);
        return;
    }
    p.drawImage(0, 0, skin_);
    if (CMPButton* picker = Button(kIdPicker)) picker->PaintSwatch(p);
    p.setBackgroundMode(Qt::TransparentMode);
    if (page_.tuningMode != kTuningModeNone)
        DrawValueLabels(page_.tuningMode == kTuningModeCustom ? 0xFF : 0x81, false, &p);
    if (IsSimulated()) DrawBadge(p);
}

void CVornDlg::DrawBadge(QPainter& p) {
    // Nobody is to take the simulator's numbers for a card's.
    const QRect box(396, 24, 150, 24);
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
    p.drawText(box, Qt::AlignCenter, tr("SIMULATED GPU"));
    p.restore();
}

QString CVornDlg::ValueLabelText(int flag) const {
    const ValueLabelSpec* row = nullptr;
    for (const ValueLabelSpec& r : MainValueLabels())
        if (r.flag == flag) row = &r;
    if (row == nullptr || row->format[0] == '\0') return {};
    if (flag >= kLabelRed) {
        const QSlider* bar = trackbars_[static_cast<size_t>(flag - kLabelRed)];
        return bar ? QString::asprintf(row->format, bar->value()) : QString();
    }
    GpuBoardTable& table = context_.core.Boards();
    if (!table.IsValidGpu(page_.selectedGpu)) return {};
    const GpuBoard& board = table.Board(page_.selectedGpu);
    auto shown = [this](int id) {
        const QWidget* w = Control(id);
        return w != nullptr && !w->isHidden();
    };
    int value = 0;
    switch (flag) {
        case kLabelGpuClock:
            if (board.hasGraphicsClock == 0 || !shown(kIdGpuClockSlider)) return {};
            value = page_.gpuClock.pos;
            break;
        case kLabelMemClock:
            if (board.hasMemoryClock == 0 || !shown(kIdMemClockSlider)) return {};
            value = page_.memClock.pos;
            break;
        case kLabelPower:
            value = page_.power.pos;
            break;
        case kLabelFan:
            if (board.fan.Path() == FanPath::FanCoolers) return {};
            value = page_.fan.pos;
            break;
        case kLabelGpuVf:
            if (board.hasGraphicsClock == 0 || !shown(kIdGpuVfSlider)) return {};
            value = page_.gpuVf.pos;
            break;
        case kLabelMemVf:
            if (board.hasMemoryClock == 0 || !shown(kIdMemVfSlider)) return {};
            value = page_.memVf.pos;
            break;
        default:
            return {};
    }
    return QString::asprintf(row->format, value);
}

void CVornDlg::DrawValueLabels(int mask, bool invalidateOnly, QPainter* painter) {
    for (const ValueLabelSpec& row : MainValueLabels()) {
        if ((row.flag & mask) == 0) continue;
        if (invalidateOnly || painter == nullptr) {
            update(row.rect);
            continue;
        }
        const QString text = ValueLabelText(row.flag);
        if (text.isEmpty()) continue;
        painter->setFont(AppFontOr(row.fontIndex, font()));
        painter->setPen(QColor(0xFF, 0xFF, 0xFF));
        const int align = row.centred ? Qt::AlignCenter : (Qt::AlignRight | Qt::AlignTop);
        // One character per fixed cell, from the right: the digits never shift as they change.
        QRect cell = row.rect;
        for (qsizetype i = text.size() - 1; i >= 0; --i) {
            painter->drawText(cell, align | Qt::TextSingleLine | Qt::TextDontClip, text.mid(i, 1));
            cell.setRight(cell.right() - row.stepPx);
        }
    }
}

// ---- sliders ----

void CVornDlg::PageToSliders() {
    struct Pair {
        int id;
        const TuningSlider* value;
    };
    const Pair pairs[6] = {{kIdGpuClockSlider, &page_.gpuClock}, {kIdMemClockSlider, &page_.memClock},
                           {kIdPowerSlider, &page_.power},       {kIdFanSlider, &page_.fan},
                           {kIdGpuVfSlider, &page_.gpuVf},       {kIdMemVfSlider, &page_.memVf}};
    for (const Pair& p : pairs) {
        CBitmapSlider* s = Slider(p.id);
        if (s == nullptr) continue;
        s->SetRange(p.value->min, p.value->max);
        s->SetPos(p.value->pos);
        s->setEnabled(p.value->enabled);
        s->update();
    }
    update(kSliderValuesRect);
}

void CVornDlg::ReclampSliders() {
    bool changed = false;
    for (TuningSlider* s : {&page_.memClock, &page_.gpuClock, &page_.power, &page_.fan, &page_.gpuVf, &page_.memVf}) {
        const int32_t before = s->pos;
        s->Clamp();
        changed = changed || s->pos != before;
    }
    // The timer asks every second; only a value that had to move is worth a repaint.
    if (changed) PageToSliders();
}

void CVornDlg::OnSliderNotification(int controlId, int position) {
    struct Pair {
        int id;
        TuningSlider* value;
        int flag;
    };
    const Pair pairs[6] = {{kIdGpuClockSlider, &page_.gpuClock, kLabelGpuClock},
                           {kIdMemClockSlider, &page_.memClock, kLabelMemClock},
                           {kIdPowerSlider, &page_.power, kLabelPower},
                           {kIdFanSlider, &page_.fan, kLabelFan},
                           {kIdGpuVfSlider, &page_.gpuVf, kLabelGpuVf},
                           {kIdMemVfSlider, &page_.memVf, kLabelMemVf}};
    for (const Pair& p : pairs) {
        if (p.id != controlId) continue;
        p.value->pos = position;
        DrawValueLabels(p.flag, true, nullptr);
        return;
    }
}

void CVornDlg::CaptureLedPageControls() {
    for (int k = 0; k < 3; ++k) {
        ledPage_.sliders[static_cast<size_t>(k)] = trackbars_[static_cast<size_t>(k)]->value();
        ledPage_.timerIndex[static_cast<size_t>(k)] = combos_[static_cast<size_t>(k)]->currentIndex();
    }
    ledPage_.tuningMode = page_.tuningMode;
}

// ---- clicks and events ----

void CVornDlg::SendClick(int id) {
    CCommandEvent click(id, Control(id));
    QCoreApplication::sendEvent(this, &click);
}

void CVornDlg::PostClick(int id) { QCoreApplication::postEvent(this, new CCommandEvent(id, Control(id))); }

bool CVornDlg::event(QEvent* e) {
    if (e->type() == CCommandEvent::Command) {
        commands_->OnCommand(static_cast<CCommandEvent*>(e)->Sender());
        return true;
    }
    if (e->type() == CSliderEvent::Moving || e->type() == CSliderEvent::Moved) {
        const auto* s = static_cast<CSliderEvent*>(e);
        OnSliderNotification(s->ControlId(), s->Position());
        return true;
    }
    return QDialog::event(e);
}

void CVornDlg::OnMonitorTimer() { monitor_->OnTimer(); }

void CVornDlg::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton || windowState() != Qt::WindowNoState ||
        e->position().y() >= kMoveAreaHeight) {
        QDialog::mousePressEvent(e);
        return;
    }
    if (windowHandle() != nullptr && windowHandle()->startSystemMove()) return;
    dragging_ = true;
    dragOffset_ = e->globalPosition().toPoint() - pos();
}

void CVornDlg::mouseMoveEvent(QMouseEvent* e) {
    if (dragging_ && (e->buttons() & Qt::LeftButton)) move(e->globalPosition().toPoint() - dragOffset_);
}

void CVornDlg::mouseReleaseEvent(QMouseEvent* e) {
    dragging_ = false;
    QDialog::mouseReleaseEvent(e);
}

void CVornDlg::moveEvent(QMoveEvent* e) {
    QDialog::moveEvent(e);
    if (controls_[0] != nullptr) ReclampSliders();
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
    if (controls_[0] != nullptr) SendClick(kIdHide);
}

void CVornDlg::reject() {}
void CVornDlg::accept() {}

void CVornDlg::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (toolTip_ != nullptr) toolTip_->SetPolling(!isMinimized());
}

void CVornDlg::hideEvent(QHideEvent* e) {
    QDialog::hideEvent(e);
    // Nothing to point at while hidden: the tooltip's poll would only cost time.
    if (toolTip_ != nullptr) toolTip_->SetPolling(false);
}

void CVornDlg::changeEvent(QEvent* e) {
    QDialog::changeEvent(e);
    if (e->type() != QEvent::WindowStateChange || !isVisible()) return;
    // Brought back from the task bar (the hide of a desktop without a tray minimises).
    if (!isMinimized()) flags_.mainWindowShown = true;
    // Nothing to point at while minimised either.
    if (toolTip_ != nullptr) toolTip_->SetPolling(!isMinimized());
}

void CVornDlg::ShowFromTray(bool onlyWhenHidden) {
    if (onlyWhenHidden && isVisible()) return;
    showNormal();
    raise();
    activateWindow();
    flags_.mainWindowShown = true;
}

void CVornDlg::OnSessionEnd() { context_.engine.SessionEnd(); }

void CVornDlg::ShowAbout() {
    CAboutDlg about(QPixmap::fromImage(icon_), this);
    about.SetSettingsFolder(QString::fromStdU16String(context_.core.settings.folder.u16string()));
    about.exec();
}

}  // namespace pyx
