#include "ui/main/MainWindowSliders.h"

#include <QCoreApplication>
#include <QPainter>
#include <QSlider>

#include "app/TuningPage.h"
#include "gpu/GpuBoardTable.h"
#include "ui/controls/CBitmapSlider.h"
#include "ui/controls/CMPButton.h"
#include "ui/main/MainWindowControls.h"

namespace pyx {

namespace {
// Where the fan's value label says that a curve drives the fan: centred over the fan slider,
// wider than the digits' cells.
const QRect kCurveWordRect(QPoint(312, 342), QPoint(392, 389));
}  // namespace

void MainWindowSliders::PageToSliders() {
    struct Pair {
        int id;
        const TuningSlider* value;
    };
    const Pair pairs[6] = {{kIdGpuClockSlider, &page_.gpuClock}, {kIdMemClockSlider, &page_.memClock},
                           {kIdPowerSlider, &page_.power},       {kIdFanSlider, &page_.fan},
                           {kIdGpuVfSlider, &page_.gpuVf},       {kIdMemVfSlider, &page_.memVf}};
    for (const Pair& p : pairs) {
        CBitmapSlider* s = controls_.Slider(p.id);
        if (s == nullptr) continue;
        s->SetRange(p.value->min, p.value->max);
        s->SetPos(p.value->pos);
        s->setEnabled(p.value->enabled);
        s->update();
    }
    ShowFanCurve();
    controls_.Repaint(kSliderValuesRect);
}

void MainWindowSliders::ShowFanCurve() {
    CMPButton* button = controls_.Button(kIdFanCurve);
    if (button == nullptr) return;
    const bool curve = page_.fanCurve.has_value();
    button->SetBitmaps(curve ? kFanCurveLitImage : kFanCurveImage, kFanCurveLitImage);
    button->update();
    controls_.Repaint(kCurveWordRect);
}

void MainWindowSliders::ReclampSliders() {
    bool changed = false;
    for (TuningSlider* s : {&page_.memClock, &page_.gpuClock, &page_.power, &page_.fan, &page_.gpuVf, &page_.memVf}) {
        const int32_t before = s->pos;
        s->Clamp();
        changed = changed || s->pos != before;
    }
    // The timer asks every second; only a value that had to move is worth a repaint.
    if (changed) PageToSliders();
}

void MainWindowSliders::OnSliderMoved(int controlId, int position) {
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
        if (controlId == kIdFanSlider && page_.fanCurve) {
            page_.fanCurve.reset();
            ShowFanCurve();
        }
        return;
    }
}

QString MainWindowSliders::ValueLabelText(int flag) const {
    const ValueLabelSpec* row = nullptr;
    for (const ValueLabelSpec& r : MainValueLabels())
        if (r.flag == flag) row = &r;
    if (row == nullptr || row->format[0] == '\0') return {};
    if (flag >= kLabelRed) {
        const QSlider* bar = controls_.ColourTrackbar(flag - kLabelRed);
        return bar ? QString::asprintf(row->format, bar->value()) : QString();
    }
    if (!boards_.IsValidGpu(page_.selectedGpu)) return {};
    const GpuBoard& board = boards_.Board(page_.selectedGpu);
    auto shown = [this](int id) {
        const QWidget* w = controls_.Control(id);
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
            if (page_.fanCurve) return QCoreApplication::translate("MainWindow", "curve");
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

void MainWindowSliders::DrawValueLabels(int mask, bool invalidateOnly, QPainter* painter) {
    for (const ValueLabelSpec& row : MainValueLabels()) {
        if ((row.flag & mask) == 0) continue;
        if (invalidateOnly || painter == nullptr) {
            controls_.Repaint(row.rect);
            continue;
        }
        const QString text = ValueLabelText(row.flag);
        if (text.isEmpty()) continue;
        if (row.flag == kLabelFan && page_.fanCurve) {
            // A word, not a number: whole, in a face that has its letters, where the digits sit.
            QFont word = controls_.FontOr(9);
            word.setPixelSize(15);
            word.setBold(true);
            painter->setFont(word);
            painter->setPen(QColor(0x2F, 0xC3, 0xF3));
            painter->drawText(kCurveWordRect, Qt::AlignCenter | Qt::TextSingleLine, text);
            continue;
        }
        painter->setFont(controls_.FontOr(row.fontIndex));
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

}  // namespace pyx
