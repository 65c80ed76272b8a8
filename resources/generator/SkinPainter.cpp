#include "SkinPainter.h"

#include "ArtKit.h"

#include <QPainterPath>
#include <QList>

#include <cmath>

namespace {

using K = ArtKit;

// The window's visible outline; the outline code cuts 3 more columns on the right than the
// picture's last opaque one, so the picture runs 3 columns past it.
const QRectF kShape(0, 0, 747, 810);
constexpr qreal kRadius = 14;
constexpr int kRightCut = 3;

void Caption(QPainter& p, const QRectF& r, const QString& text, int flags = Qt::AlignLeft | Qt::AlignVCenter)
{
    K::DrawText(p, r, text, K::Font(11, QFont::Bold, false, 1.6), K::TextDim, flags);
}

void Panel(QPainter& p, const QRectF& r)
{
    K::FillRounded(p, r, 10, K::Panel, K::PanelEdge);
}

void Well(QPainter& p, const QRectF& r, qreal radius = 6)
{
    K::FillRounded(p, r, radius, K::Inset, K::PanelEdge);
}

void Icon(QPainter& p, int kind, const QPointF& c)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(K::Accent, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    if (kind == 0) { // memory chip
        p.drawRoundedRect(QRectF(c.x() - 7, c.y() - 6, 14, 12), 2, 2);
        for (int k = -1; k <= 1; ++k) {
            p.drawLine(QPointF(c.x() + 4 * k, c.y() - 6), QPointF(c.x() + 4 * k, c.y() - 9));
            p.drawLine(QPointF(c.x() + 4 * k, c.y() + 6), QPointF(c.x() + 4 * k, c.y() + 9));
        }
    } else if (kind == 1) { // thermometer
        p.drawRoundedRect(QRectF(c.x() - 2.5, c.y() - 10, 5, 14), 2.5, 2.5);
        p.setBrush(K::Accent);
        p.drawEllipse(QPointF(c.x(), c.y() + 6), 4.5, 4.5);
    } else { // fan
        p.drawEllipse(c, 9.5, 9.5);
        for (int k = 0; k < 3; ++k) {
            p.save();
            p.translate(c);
            p.rotate(120.0 * k);
            QPainterPath blade;
            blade.moveTo(0, 0);
            blade.cubicTo(2, -4, 6, -6, 1, -8);
            p.drawPath(blade);
            p.restore();
        }
    }
    p.restore();
}

void Fan(QPainter& p, const QPointF& c, qreal r)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient ring(c, r);
    ring.setColorAt(0.0, QColor(0x1E, 0x24, 0x2F));
    ring.setColorAt(1.0, QColor(0x15, 0x19, 0x21));
    p.setBrush(ring);
    p.setPen(QPen(K::PanelEdge, 1.5));
    p.drawEllipse(c, r, r);
    QColor blade = K::Accent;
    blade.setAlpha(70);
    p.setPen(Qt::NoPen);
    p.setBrush(blade);
    for (int k = 0; k < 7; ++k) {
        p.save();
        p.translate(c);
        p.rotate(360.0 / 7 * k);
        QPainterPath b;
        b.moveTo(0, -r * 0.22);
        b.cubicTo(r * 0.35, -r * 0.35, r * 0.45, -r * 0.75, r * 0.12, -r * 0.86);
        b.cubicTo(r * 0.05, -r * 0.6, -r * 0.05, -r * 0.4, 0, -r * 0.22);
        p.drawPath(b);
        p.restore();
    }
    p.setBrush(K::Raised);
    p.setPen(QPen(K::Accent, 1.5));
    p.drawEllipse(c, r * 0.2, r * 0.2);
    p.restore();
}

} // namespace

void SkinPainter::TitleBar(QPainter& p)
{
    p.fillRect(QRectF(0, 0, Width, 62), K::Title);
    QLinearGradient line = K::AccentGradient(QPointF(0, 0), QPointF(Width, 0), 200);
    p.fillRect(QRectF(0, 62, Width, 2), line);
    // Logo: three rising bars on the accent tile.
    K::FillRounded(p, QRectF(22, 17, 28, 28), 7, K::AccentGradient(QPointF(22, 17), QPointF(50, 45)));
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x0A, 0x0E, 0x16), 3, Qt::SolidLine, Qt::RoundCap));
    for (int k = 0; k < 3; ++k)
        p.drawLine(QPointF(30 + 6 * k, 37), QPointF(30 + 6 * k, 32 - 4 * k));
    p.restore();
    K::DrawText(p, QRectF(62, 14, 200, 24), QStringLiteral("PYXTUNE"), K::Font(19, QFont::Bold, false, 3),
                K::Text, Qt::AlignLeft | Qt::AlignVCenter);
    K::DrawText(p, QRectF(63, 37, 220, 14), K::Tr(QT_TRANSLATE_NOOP("Skin", "GPU TUNING  ·  MONITOR  ·  LIGHTING")),
                K::Font(9, QFont::Normal, false, 1.2), K::TextDim, Qt::AlignLeft | Qt::AlignVCenter);
}

void SkinPainter::Monitor(QPainter& p)
{
    // Left: the GPU clock readout (label at 83,134, 175 x 66).
    Panel(p, QRectF(10, 72, 390, 184));
    p.fillRect(QRectF(30, 97, 3, 12), K::Accent);
    Caption(p, QRectF(40, 92, 200, 22), K::Tr(QT_TRANSLATE_NOOP("Skin", "GPU CLOCK")));
    Well(p, QRectF(76, 127, 189, 80), 8);
    K::DrawText(p, QRectF(270, 176, 40, 20), QStringLiteral("MHz"), K::Font(13, QFont::Bold), K::TextDim,
                Qt::AlignLeft | Qt::AlignVCenter);
    K::DrawText(p, QRectF(83, 214, 200, 16), K::Tr(QT_TRANSLATE_NOOP("Skin", "Live, refreshed every second")),
                K::Font(10), K::TextFaint, Qt::AlignLeft | Qt::AlignVCenter);
    Fan(p, QPointF(350, 158), 40);

    // Right: memory clock, temperature and fan speed (labels at 584, y 87/147/207, 105 x 40).
    Panel(p, QRectF(410, 72, 330, 184));
    const char* const names[3] = {QT_TRANSLATE_NOOP("Skin", "MEMORY CLOCK"),
                                  QT_TRANSLATE_NOOP("Skin", "TEMPERATURE"),
                                  QT_TRANSLATE_NOOP("Skin", "FAN SPEED")};
    const QString units[3] = {QStringLiteral("MHz"), QStringLiteral("°C"), QStringLiteral("%")};
    for (int k = 0; k < 3; ++k) {
        const qreal y = 87 + 60 * k;
        Icon(p, k, QPointF(436, y + 20));
        Caption(p, QRectF(454, y + 9, 118, 22), K::Tr(names[k]));
        Well(p, QRectF(580, y - 4, 113, 48));
        K::DrawText(p, QRectF(699, y + 10, 38, 20), units[k], K::Font(12, QFont::Bold), K::TextDim,
                    Qt::AlignLeft | Qt::AlignVCenter);
        if (k < 2)
            p.fillRect(QRectF(428, y + 53, 140, 1), K::PanelEdge);
    }
}

void SkinPainter::Tuning(QPainter& p)
{
    Panel(p, QRectF(10, 264, 390, 294));
    p.fillRect(QRectF(52, 283, 3, 12), K::Accent);
    Caption(p, QRectF(62, 278, 200, 22), K::Tr(QT_TRANSLATE_NOOP("Skin", "TUNING")));
    const char* const names[4] = {QT_TRANSLATE_NOOP("Skin", "CORE"), QT_TRANSLATE_NOOP("Skin", "MEMORY"),
                                  QT_TRANSLATE_NOOP("Skin", "POWER"), QT_TRANSLATE_NOOP("Skin", "FAN")};
    const char* const units[4] = {QT_TRANSLATE_NOOP("Skin", "MHz offset"), QT_TRANSLATE_NOOP("Skin", "MHz offset"),
                                  QT_TRANSLATE_NOOP("Skin", "% target"), QT_TRANSLATE_NOOP("Skin", "% speed")};
    const int xs[4] = {63, 150, 237, 324};
    for (int k = 0; k < 4; ++k) {
        const qreal cx = xs[k] + 28.5;
        K::DrawText(p, QRectF(cx - 42, 304, 84, 16), K::Tr(names[k]), K::Font(11, QFont::Bold, false, 1.2),
                    K::Text, Qt::AlignCenter);
        K::DrawText(p, QRectF(cx - 42, 320, 84, 14), K::Tr(units[k]), K::Font(9), K::TextFaint, Qt::AlignCenter);
        // Gauge marks on both sides of the track, over the thumb centre's travel (390..520).
        for (int t = 0; t <= 10; ++t) {
            const qreal y = 390 + 13 * t + 0.5;
            const bool major = (t % 5) == 0;
            const QColor c = major ? K::TextDim : K::TextFaint;
            p.fillRect(QRectF(xs[k] - (major ? 9 : 6), y - 0.5, major ? 7 : 4, 1), c);
            p.fillRect(QRectF(xs[k] + 59, y - 0.5, major ? 7 : 4, 1), c);
        }
        p.fillRect(QRectF(xs[k] + 4, 376, 49, 1), K::PanelEdge);
    }
}

void SkinPainter::Lighting(QPainter& p, int id)
{
    Panel(p, QRectF(410, 264, 330, 294));
    p.fillRect(QRectF(428, 309, 3, 12), K::Accent);
    Caption(p, QRectF(436, 304, 78, 22), K::Tr(QT_TRANSLATE_NOOP("Skin", "LIGHTING")));

    // Colour: picker at 428,332 (84 x 72), R/G/B rows with their values at 514..561.
    const QString letters[3] = {QStringLiteral("R"), QStringLiteral("G"), QStringLiteral("B")};
    const QColor tints[3] = {QColor(0xFF, 0x5A, 0x5F), QColor(0x4A, 0xE0, 0x7A), QColor(0x4F, 0x8D, 0xFF)};
    for (int k = 0; k < 3; ++k) {
        const qreal y = 412 + 38 * k;
        K::DrawText(p, QRectF(426, y, 12, 21), letters[k], K::Font(11, QFont::Bold), tints[k], Qt::AlignCenter);
        K::FillRounded(p, QRectF(440, y + 8, 70, 5), 2.5, K::Inset, K::PanelEdge);
        Well(p, QRectF(513, y - 1, 49, 23), 5);
    }
    // The picked colour's swatch (filled by the window at 428,520, 20 x 19) and the presets.
    Well(p, QRectF(426, 518, 24, 23), 4);

    QList<const char*> names;
    QList<QPoint> at;
    const char* header = nullptr;
    int textWidth = 138;
    if (id == 204) {
        header = QT_TRANSLATE_NOOP("Skin", "ZONE MODE");
        names = {QT_TRANSLATE_NOOP("Skin", "Static"), QT_TRANSLATE_NOOP("Skin", "Rainbow"),
                 QT_TRANSLATE_NOOP("Skin", "Colour cycle"), QT_TRANSLATE_NOOP("Skin", "Breathing"),
                 QT_TRANSLATE_NOOP("Skin", "All off")};
        for (int k = 0; k < 5; ++k)
            at.push_back(QPoint(580, 361 + 27 * k));
    } else if (id == 205) {
        header = QT_TRANSLATE_NOOP("Skin", "EFFECT MODE");
        names = {QT_TRANSLATE_NOOP("Skin", "Static"),  QT_TRANSLATE_NOOP("Skin", "Rainbow"),
                 QT_TRANSLATE_NOOP("Skin", "Ripple"),  QT_TRANSLATE_NOOP("Skin", "Marquee"),
                 QT_TRANSLATE_NOOP("Skin", "Cycle"),   QT_TRANSLATE_NOOP("Skin", "Cycle br."),
                 QT_TRANSLATE_NOOP("Skin", "Breathe"), QT_TRANSLATE_NOOP("Skin", "Blink"),
                 QT_TRANSLATE_NOOP("Skin", "Aurora"),  QT_TRANSLATE_NOOP("Skin", "Meteor"),
                 QT_TRANSLATE_NOOP("Skin", "All off")};
        for (int k = 0; k < 7; ++k)
            at.push_back(QPoint(580, 361 + 27 * k));
        for (int k = 0; k < 4; ++k)
            at.push_back(QPoint(645, 361 + 27 * k));
        textWidth = 43;
    } else {
        header = QT_TRANSLATE_NOOP("Skin", "EFFECT");
        names = {QT_TRANSLATE_NOOP("Skin", "Static"), QT_TRANSLATE_NOOP("Skin", "Breathing"),
                 QT_TRANSLATE_NOOP("Skin", "Colour cycle"), QT_TRANSLATE_NOOP("Skin", "Flash"),
                 QT_TRANSLATE_NOOP("Skin", "Lights off")};
        const int ys[5] = {359, 383, 430, 476, 524};
        for (int y : ys)
            at.push_back(QPoint(579, y));
    }
    K::DrawText(p, QRectF(580, 336, 150, 14), K::Tr(header), K::Font(9, QFont::Bold, false, 1.5), K::TextFaint,
                Qt::AlignLeft | Qt::AlignVCenter);
    for (int k = 0; k < names.size(); ++k) {
        const QPoint r = at[k];
        const int w = (id == 205 && r.x() == 645) ? 72 : textWidth;
        K::DrawText(p, QRectF(r.x() + 20, r.y() - 2, w, 20), K::Tr(names[k]), K::Font(11, QFont::Normal, id == 205),
                    K::Text, Qt::AlignLeft | Qt::AlignVCenter);
    }
}

void SkinPainter::Modes(QPainter& p)
{
    Panel(p, QRectF(10, 566, 730, 160));
    const char* const names[4] = {QT_TRANSLATE_NOOP("Skin", "EXTREME"), QT_TRANSLATE_NOOP("Skin", "PERFORMANCE"),
                                  QT_TRANSLATE_NOOP("Skin", "COMMON"), QT_TRANSLATE_NOOP("Skin", "CUSTOM")};
    const char* const notes[4] = {QT_TRANSLATE_NOOP("Skin", "Tested core margin"),
                                  QT_TRANSLATE_NOOP("Skin", "Core clock +3 %"),
                                  QT_TRANSLATE_NOOP("Skin", "Card defaults"),
                                  QT_TRANSLATE_NOOP("Skin", "Your own settings")};
    const int xs[4] = {36, 208, 380, 552};
    for (int k = 0; k < 4; ++k) {
        K::DrawText(p, QRectF(xs[k], 678, 162, 18), K::Tr(names[k]), K::Font(12, QFont::Bold, false, 1.8), K::Text,
                    Qt::AlignCenter);
        K::DrawText(p, QRectF(xs[k], 697, 162, 16), K::Tr(notes[k]), K::Font(10), K::TextDim, Qt::AlignCenter);
    }
}

void SkinPainter::Footer(QPainter& p)
{
    p.fillRect(QRectF(24, 752, 699, 1), K::PanelEdge);
    K::DrawText(p, QRectF(24, 780, 120, 16), QStringLiteral("v2.0.0.2"), K::Font(10), K::TextFaint,
                Qt::AlignLeft | Qt::AlignVCenter);
    K::DrawText(p, QRectF(505, 780, 218, 16), K::Tr(QT_TRANSLATE_NOOP("Skin", "Changes reach the card on Apply")),
                K::Font(10), K::TextFaint, Qt::AlignRight | Qt::AlignVCenter);
}

void SkinPainter::Outline(QImage& img)
{
    {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(0x2E, 0x35, 0x43), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(0.5, 0.5, kShape.width() - 1, kShape.height() - 1.5), kRadius - 0.5,
                          kRadius - 0.5);
    }
    ArtKit::KeepWhiteOutsideOnly(img, kShape, kRadius);
    // White outside the shape, except the columns that the outline code trims on the right.
    QImage shaped = img.copy();
    ArtKit::CutOutside(shaped, kShape, kRadius);
    for (int y = 0; y < img.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(shaped.scanLine(y));
        int right = img.width() - 1;
        while (right >= 0 && row[right] == qRgb(255, 255, 255))
            --right;
        for (int x = right + 1; right >= 0 && x <= right + kRightCut && x < img.width(); ++x)
            row[x] = row[right];
    }
    img = shaped;
}

QImage SkinPainter::Skin(int id)
{
    QImage img = K::Canvas(Width, Height, K::Body);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    TitleBar(p);
    Monitor(p);
    Tuning(p);
    Lighting(p, id);
    Modes(p);
    Footer(p);
    p.end();
    Outline(img);
    return img;
}
