#include "ui/main/MainWindowControls.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QRegion>
#include <QSlider>
#include <QWidget>

#include "ui/controls/CBitmapSlider.h"
#include "ui/controls/CMPButton.h"
#include "ui/controls/CMPStatic.h"
#include "ui/controls/CMPToolTip2.h"
#include "ui/main/AppFonts.h"

namespace pyx {

namespace {

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

// The GPU clock panel's title row, right of its caption and above the fan.
const QRect kGpuCaptionRect(140, 93, 250, 20);
// The lighting panel below its top edge, leaving its "LIGHTING" caption uncovered.
const QRect kLightingPanelRect(416, 298, 320, 254);
const QRect kLightingCaptionRect(416, 298, 96, 32);

}  // namespace

QFont MainWindowControls::FontOr(int index) const { return pyx::FontOr(fonts_, index, window_.font()); }

void MainWindowControls::Create() {
    const QFont symbols = [this] {
        QFont f = window_.font();
        f.setPixelSize(14);
        return f;
    }();
    for (int i = 0; i < kControlCount; ++i) {
        const int id = kFirstControlId + i;
        const ControlSpec& row = MainControlTable()[static_cast<size_t>(i)];
        QWidget* w = nullptr;
        switch (row.kind) {
            case ControlKind::Button: {
                auto* b = new CMPButton(&window_, id);
                b->Create(id, QRect(row.rect.topLeft(), QSize(10, 10)), row.normalId, row.secondId, row.thirdId);
                w = b;
                break;
            }
            case ControlKind::Label: {
                auto* l = new CMPStatic(&window_, id);
                l->setGeometry(row.rect);
                w = l;
                break;
            }
            case ControlKind::Slider: {
                auto* s = new CBitmapSlider(&window_, id);
                s->setGeometry(row.rect);
                s->SetThumbBitmap();
                s->SetVertical();
                w = s;
                break;
            }
        }
        QFont f = FontOr(row.fontIndex);
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
    BuildFanCurveButton();

    plainChild_ = new QWidget(&window_);
    plainChild_->setObjectName(QStringLiteral("child333"));
    plainChild_->setGeometry(0, 0, 0, 0);
    plainChild_->setProperty("controlId", kIdPlainChild);
    plainChild_->show();

    toolTip_ = new CMPToolTip2(&window_);
    for (const ToolTipSpec& tip : MainToolTips()) toolTip_->AddTool(Control(tip.controlId), QCoreApplication::translate("MainToolTips", tip.text));
    toolTip_->AddTool(fanCurve_, QCoreApplication::translate(
                                     "MainWindow", "Custom's fan follows the GPU's temperature by a curve you draw."));
    toolTip_->SetTipFont(FontOr(9));
    toolTip_->SetPolling(window_.isVisible());

    Button(kIdPicker)->SetColorPick(true);
    // The zone and effect panels show only once a controller of theirs is chosen.
    for (int id = kIdZoneMode1; id < kIdEffectMode1 + kEffectModeCount; ++id) Control(id)->hide();
    BuildCaptions();
}

void MainWindowControls::BuildFanCurveButton() {
    fanCurve_ = new CMPButton(&window_, kIdFanCurve);
    fanCurve_->setObjectName(QStringLiteral("fanCurveButton"));
    fanCurve_->Create(kIdFanCurve, kFanCurveButtonRect, kFanCurveImage, kFanCurveLitImage);
    QFont caption = window_.font();
    caption.setPixelSize(11);
    caption.setBold(true);
    fanCurve_->setFont(caption);
    fanCurve_->SetText(QCoreApplication::translate("MainWindow", "曲线..."));
    // Custom shows it, with the fan slider.
    fanCurve_->hide();
}

void MainWindowControls::BuildCaptions() {
    gpuCaption_ = new QLabel(&window_);
    gpuCaption_->setObjectName(QStringLiteral("gpuCaption"));
    gpuCaption_->setGeometry(kGpuCaptionRect);
    QFont small = window_.font();
    small.setPixelSize(11);
    gpuCaption_->setFont(small);
    gpuCaption_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    gpuCaption_->setStyleSheet(QStringLiteral("color: #8C96A8; background: transparent;"));
    gpuCaption_->show();

    // Made last, so that it lies over every control of the page it covers.
    noLightingNotice_ = new QLabel(&window_);
    noLightingNotice_->setObjectName(QStringLiteral("noLightingNotice"));
    noLightingNotice_->setGeometry(kLightingPanelRect);
    noLightingNotice_->setMask(QRegion(QRect(QPoint(0, 0), kLightingPanelRect.size()))
                                   .subtracted(QRegion(kLightingCaptionRect.translated(-kLightingPanelRect.topLeft()))));
    QFont notice = window_.font();
    notice.setPixelSize(13);
    noLightingNotice_->setFont(notice);
    noLightingNotice_->setAlignment(Qt::AlignCenter);
    noLightingNotice_->setWordWrap(true);
    noLightingNotice_->setStyleSheet(QStringLiteral("color: #E4E9F0; background: rgba(26, 31, 40, 225);"));
    noLightingNotice_->setText(QCoreApplication::translate("MainWindow", "This card has no lighting controller."));
    noLightingNotice_->hide();
}

void MainWindowControls::ShowGpuCaption(int gpu, int gpuCount, const std::optional<std::string>& cardName) {
    const QString number = QString::number(gpu + 1);
    const QString count = QString::number(gpuCount);
    const QString text = cardName && !cardName->empty()
                             ? QCoreApplication::translate("MainWindow", "GPU %1 of %2: %3")
                                   .arg(number, count, QString::fromStdString(*cardName))
                             : QCoreApplication::translate("MainWindow", "GPU %1 of %2").arg(number, count);
    // A name too long for the row is cut; the whole of it stays in the tooltip.
    const QString shown = QFontMetrics(gpuCaption_->font()).elidedText(text, Qt::ElideRight, gpuCaption_->width());
    gpuCaption_->setText(shown);
    gpuCaption_->setToolTip(shown == text ? QString() : text);
}

void MainWindowControls::ShowNoLightingNotice(bool shown) {
    noLightingNotice_->setVisible(shown);
    if (shown) noLightingNotice_->raise();
}

void MainWindowControls::BuildColourControls() {
    static const char* const kPeriods[3] = {"s", "s*8", "s*8"};
    const int comboY[3] = {404, 451, 498};
    for (int k = 0; k < 3; ++k) {
        auto* combo = new QComboBox(&window_);
        combo->setObjectName(QStringLiteral("combo%1").arg(kIdTimer1Combo + k));
        for (int seconds = 3; seconds <= 10; ++seconds)
            combo->addItem(QString::number(seconds) + QString::fromLatin1(kPeriods[k]));
        combo->setGeometry(600, comboY[k], 120, 22);
        combo->setFont(FontOr(9));
        combos_[static_cast<size_t>(k)] = combo;

        auto* bar = new QSlider(Qt::Horizontal, &window_);
        bar->setObjectName(QStringLiteral("trackbar%1").arg(kIdRedTrackbar + k));
        bar->setGeometry(440, 414 + 38 * k, 70, 17);
        bar->setFocusPolicy(Qt::NoFocus);
        QObject::connect(bar, &QSlider::valueChanged, &window_, [this] {
            Repaint(kColourPreviewRect);
            Repaint(CMPButton::kSwatchRect);
        });
        trackbars_[static_cast<size_t>(k)] = bar;
    }
}

QWidget* MainWindowControls::Control(int id) const {
    if (id == kIdPlainChild) return plainChild_;
    if (id == kIdFanCurve) return fanCurve_;
    if (id >= kIdTimer1Combo && id < kIdTimer1Combo + 3) return combos_[static_cast<size_t>(id - kIdTimer1Combo)];
    if (id >= kIdRedTrackbar && id < kIdRedTrackbar + 3) return trackbars_[static_cast<size_t>(id - kIdRedTrackbar)];
    if (id < kFirstControlId || id >= kFirstControlId + kControlCount) return nullptr;
    return controls_[static_cast<size_t>(id - kFirstControlId)];
}
CMPButton* MainWindowControls::Button(int id) const { return qobject_cast<CMPButton*>(Control(id)); }
CBitmapSlider* MainWindowControls::Slider(int id) const { return qobject_cast<CBitmapSlider*>(Control(id)); }
CMPStatic* MainWindowControls::Label(int id) const { return qobject_cast<CMPStatic*>(Control(id)); }

void MainWindowControls::SelectInGroup(int firstId, int count, int chosen) {
    for (int i = 0; i < count; ++i) {
        CMPButton* b = Button(firstId + i);
        if (b == nullptr) continue;
        const ControlSpec& row = MainControl(firstId + i);
        if (i == chosen)
            b->SetBitmaps(row.secondId, row.secondId);
        else
            b->SetBitmaps(row.normalId, row.secondId);
        b->update();
    }
}

void MainWindowControls::Repaint(const QRect& rect) { window_.update(rect); }

}  // namespace pyx
