#include "ControlArt.h"

#include "ArtKit.h"

#include <QPainterPath>

#include <cmath>

namespace {

using K = ArtKit;

// Finishes a button picture: white outside the rounded outline, no pure white inside.
QImage Cut(QImage img, qreal radius)
{
    const QRectF shape(0, 0, img.width(), img.height());
    K::KeepWhiteOutsideOnly(img, shape, radius);
    K::CutOutside(img, shape, radius);
    return img;
}

QPen Stroke(const QColor& c, qreal w)
{
    return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void ModeGlyph(QPainter& p, int mode, const QPointF& c, const QColor& col)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Stroke(col, 3));
    p.setBrush(Qt::NoBrush);
    switch (mode) {
    case 0: { // Extreme: a lightning bolt
        QPainterPath bolt;
        bolt.moveTo(c + QPointF(4, -20));
        bolt.lineTo(c + QPointF(-10, 3));
        bolt.lineTo(c + QPointF(0, 3));
        bolt.lineTo(c + QPointF(-4, 20));
        bolt.lineTo(c + QPointF(10, -3));
        bolt.lineTo(c + QPointF(0, -3));
        bolt.closeSubpath();
        p.setBrush(QColor(col.red(), col.green(), col.blue(), 60));
        p.drawPath(bolt);
        break;
    }
    case 1: { // Performance: a speedometer
        const QRectF dial(c.x() - 20, c.y() - 16, 40, 40);
        p.drawArc(dial, 200 * 16, -220 * 16);
        const QPointF hub = dial.center();
        p.drawLine(hub, hub + QPointF(12, -11));
        p.setBrush(col);
        p.drawEllipse(hub, 3, 3);
        for (int k = 0; k <= 4; ++k) {
            const double a = (200.0 - 55.0 * k) * M_PI / 180.0;
            p.drawLine(hub + QPointF(15 * std::cos(a), -15 * std::sin(a)),
                       hub + QPointF(19 * std::cos(a), -19 * std::sin(a)));
        }
        break;
    }
    case 2: { // Common: a leaf, for the card's own balanced settings
        QPainterPath leaf;
        leaf.moveTo(c + QPointF(-16, 16));
        leaf.cubicTo(c + QPointF(-18, -10), c + QPointF(2, -20), c + QPointF(18, -18));
        leaf.cubicTo(c + QPointF(18, 4), c + QPointF(4, 18), c + QPointF(-16, 16));
        p.setBrush(QColor(col.red(), col.green(), col.blue(), 50));
        p.drawPath(leaf);
        p.drawLine(c + QPointF(-16, 16), c + QPointF(8, -8));
        break;
    }
    default: { // Custom: three sliders
        for (int k = 0; k < 3; ++k) {
            const qreal x = c.x() - 14 + 14 * k;
            p.drawLine(QPointF(x, c.y() - 18), QPointF(x, c.y() + 18));
            const qreal ky = c.y() + (k == 0 ? 6 : k == 1 ? -9 : 2);
            p.setBrush(col);
            p.drawRoundedRect(QRectF(x - 5, ky - 3.5, 10, 7), 2, 2);
            p.setBrush(Qt::NoBrush);
        }
        break;
    }
    }
    p.restore();
}

} // namespace

QImage ControlArt::WindowButton(bool close, bool hot)
{
    QImage img = K::Canvas(32, 26, K::Title);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor fill = hot ? (close ? K::Danger : QColor(0x2E, 0x36, 0x46)) : K::Raised;
    K::FillRounded(p, QRectF(0, 0, 32, 26), 6, fill, hot ? QColor() : K::RaisedEdge);
    const QColor glyph = hot ? (close ? QColor(0xFF, 0xF4, 0xF4) : K::Accent) : QColor(0xAE, 0xB6, 0xC4);
    p.setPen(Stroke(glyph, 2));
    if (close) {
        p.drawLine(QPointF(11, 8), QPointF(21, 18));
        p.drawLine(QPointF(21, 8), QPointF(11, 18));
    } else {
        p.drawLine(QPointF(10, 13.5), QPointF(22, 13.5));
    }
    p.end();
    return Cut(img, 6);
}

QImage ControlArt::Pill(bool hot)
{
    QImage img = K::Canvas(36, 26, K::Title);
    QPainter p(&img);
    const QColor fill = hot ? QColor(0x26, 0x33, 0x42) : K::Raised;
    K::FillRounded(p, QRectF(0, 0, 36, 26), 6, fill, hot ? K::Accent.darker(130) : K::RaisedEdge);
    p.end();
    return Cut(img, 6);
}

QImage ControlArt::ModeCard(int mode, bool selected)
{
    const int w = 162;
    const int h = 100;
    QImage img = K::Canvas(w, h, K::Panel);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    if (selected) {
        QLinearGradient g(0, 0, w, h);
        g.setColorAt(0, QColor(0x16, 0x3A, 0x4A));
        g.setColorAt(1, QColor(0x25, 0x25, 0x4E));
        K::FillRounded(p, QRectF(0, 0, w, h), 12, g);
        p.setPen(QPen(QBrush(K::AccentGradient(QPointF(0, 0), QPointF(w, h))), 2));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(1, 1, w - 2, h - 2), 11, 11);
        p.setPen(Qt::NoPen);
        p.setBrush(K::Accent);
        p.drawEllipse(QPointF(w - 16, 16), 4, 4);
    } else {
        K::FillRounded(p, QRectF(0, 0, w, h), 12, K::Raised, K::RaisedEdge);
    }
    ModeGlyph(p, mode, QPointF(w / 2.0, h / 2.0), selected ? K::Accent : QColor(0x9A, 0xA4, 0xB5));
    p.end();
    return Cut(img, 12);
}

// glyph 0: next GPU chevron; 1: link chain.
QImage ControlArt::SideButton(int glyph, bool hot, bool disabled)
{
    QImage img = K::Canvas(20, 46, K::Panel);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor edge = disabled ? K::PanelEdge : hot ? K::Accent : K::RaisedEdge;
    K::FillRounded(p, QRectF(0, 0, 20, 46), 6, disabled ? K::Panel : K::Raised, edge);
    const QColor col = disabled ? K::TextFaint : hot ? K::Accent : K::TextDim;
    p.setPen(Stroke(col, 2));
    p.setBrush(Qt::NoBrush);
    if (glyph == 0) {
        p.drawPolyline(QPolygonF({QPointF(8, 16), QPointF(13, 23), QPointF(8, 30)}));
    } else {
        p.drawRoundedRect(QRectF(6, 11, 8, 12), 4, 4);
        p.drawRoundedRect(QRectF(6, 23, 8, 12), 4, 4);
        if (!hot) { // the off look: the links part
            p.setPen(Stroke(K::Raised, 3));
            p.drawLine(QPointF(4, 23), QPointF(16, 23));
        }
    }
    p.end();
    return Cut(img, 6);
}

QImage ControlArt::Radio(bool selected)
{
    QImage img = K::Canvas(16, 16, K::Panel);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(selected ? K::Accent : QColor(0x4A, 0x53, 0x65), 1.5));
    p.setBrush(K::Inset);
    p.drawEllipse(QRectF(0.75, 0.75, 14.5, 14.5));
    if (selected) {
        p.setPen(Qt::NoPen);
        p.setBrush(K::Accent);
        p.drawEllipse(QRectF(4, 4, 8, 8));
    }
    p.end();
    return Cut(img, 8);
}

QImage ControlArt::Action(bool apply, bool hot)
{
    const int w = 96;
    const int h = 30;
    QImage img = K::Canvas(w, h, K::Body);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QColor textCol;
    if (apply) {
        QLinearGradient g = K::AccentGradient(QPointF(0, 0), QPointF(w, 0));
        if (hot) {
            g.setColorAt(0, K::Accent.lighter(118));
            g.setColorAt(1, K::Accent2.lighter(118));
        }
        K::FillRounded(p, QRectF(0, 0, w, h), 8, g);
        textCol = QColor(0x08, 0x0C, 0x14);
    } else {
        K::FillRounded(p, QRectF(0, 0, w, h), 8, hot ? QColor(0x2A, 0x31, 0x3F) : K::Raised,
                       hot ? K::Accent : K::RaisedEdge);
        textCol = hot ? K::Text : K::TextDim;
    }
    K::DrawText(p, QRectF(0, 0, w, h),
                K::Tr(apply ? QT_TRANSLATE_NOOP("Skin", "APPLY") : QT_TRANSLATE_NOOP("Skin", "RESET")),
                K::Font(12, QFont::Bold, false, 1.5), textCol, Qt::AlignCenter);
    p.end();
    return Cut(img, 8);
}

QImage ControlArt::CurveButton(bool hot)
{
    // Apply's gradient, smaller: the window's dark caption reads on it (the button draws its
    // caption itself, in the window's language). Dimmed at rest, full while hot or chosen.
    const int w = 64;
    const int h = 20;
    QImage img = K::Canvas(w, h, K::Panel);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g = K::AccentGradient(QPointF(0, 0), QPointF(w, 0));
    if (!hot) {
        g.setColorAt(0, K::Accent.darker(135));
        g.setColorAt(1, K::Accent2.darker(135));
    }
    K::FillRounded(p, QRectF(0, 0, w, h), 10, g);
    p.end();
    return Cut(img, 10);
}

QImage ControlArt::Track(bool filled)
{
    QImage img = K::Canvas(57, 151, K::Panel);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF groove(23, 4, 11, 143);
    if (filled) {
        QLinearGradient g(0, 147, 0, 4);
        g.setColorAt(0, K::Accent);
        g.setColorAt(1, K::Accent2);
        K::FillRounded(p, groove, 5.5, g);
        // A soft glow beside the lit groove.
        p.setPen(Qt::NoPen);
        for (int k = 1; k <= 3; ++k) {
            QColor glow = K::Accent;
            glow.setAlpha(22 / k);
            p.setBrush(glow);
            p.drawRoundedRect(groove.adjusted(-2 * k, 0, 2 * k, 0), 5.5 + 2 * k, 5.5 + 2 * k);
        }
    } else {
        K::FillRounded(p, groove, 5.5, K::Inset, K::PanelEdge);
    }
    p.end();
    return img;
}

QImage ControlArt::Thumb(bool grey)
{
    // White around the knob: the slider takes the top-left colour as transparent.
    QImage img = K::Canvas(57, 21, K::Panel);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF knob(11, 2, 35, 17);
    QLinearGradient g(0, 2, 0, 19);
    g.setColorAt(0, grey ? QColor(0x74, 0x7B, 0x88) : QColor(0xEE, 0xF2, 0xF7));
    g.setColorAt(1, grey ? QColor(0x55, 0x5B, 0x67) : QColor(0xB9, 0xC3, 0xD1));
    K::FillRounded(p, knob, 6, g, grey ? QColor(0x3C, 0x42, 0x4E) : QColor(0x0B, 0x0E, 0x13));
    p.setPen(QPen(grey ? QColor(0x3C, 0x42, 0x4E) : K::Accent.darker(150), 1.5));
    for (int k = -1; k <= 1; ++k)
        p.drawLine(QPointF(22 + 0, 10.5 + 3 * k), QPointF(35, 10.5 + 3 * k));
    p.end();
    K::KeepWhiteOutsideOnly(img, knob.adjusted(-1, -1, 1, 1), 7);
    K::CutOutside(img, knob.adjusted(-1, -1, 1, 1), 7);
    return img;
}

QImage ControlArt::LoadTab(bool selected)
{
    QImage img = K::Canvas(74, 24, K::Panel);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    if (selected)
        K::FillRounded(p, QRectF(0, 0, 74, 24), 12, K::AccentGradient(QPointF(0, 0), QPointF(74, 0)));
    else
        K::FillRounded(p, QRectF(0, 0, 74, 24), 12, K::Raised, K::RaisedEdge);
    const QColor col = selected ? QColor(0x08, 0x0C, 0x14) : K::TextDim;
    p.setPen(Qt::NoPen);
    p.setBrush(col);
    const int bars[3] = {5, 9, 7};
    for (int k = 0; k < 3; ++k)
        p.drawRect(QRectF(10 + 4 * k, 16 - bars[k], 3, bars[k]));
    K::DrawText(p, QRectF(24, 0, 46, 24), K::Tr(QT_TRANSLATE_NOOP("Skin", "GPU LOAD")), K::Font(9, QFont::Bold, true),
                col, Qt::AlignVCenter | Qt::AlignLeft);
    p.end();
    return Cut(img, 12);
}

QImage ControlArt::TargetButton(int number, bool selected)
{
    QImage img = K::Canvas(26, 24, K::Panel);
    QPainter p(&img);
    if (selected)
        K::FillRounded(p, QRectF(0, 0, 26, 24), 6, K::AccentGradient(QPointF(0, 0), QPointF(26, 24)));
    else
        K::FillRounded(p, QRectF(0, 0, 26, 24), 6, K::Raised, K::RaisedEdge);
    K::DrawText(p, QRectF(0, 0, 26, 24), QString::number(number), K::Font(12, QFont::Bold),
                selected ? QColor(0x08, 0x0C, 0x14) : K::TextDim, Qt::AlignCenter);
    p.end();
    return Cut(img, 6);
}

QImage ControlArt::Swatch(int preset, bool selected)
{
    static const QColor colours[8] = {
        QColor(255, 255, 255), QColor(255, 0, 0),  QColor(255, 49, 0),  QColor(255, 200, 0),
        QColor(0, 255, 0),     QColor(0, 0, 255),  QColor(254, 27, 46), QColor(128, 0, 128)};
    QImage img = K::Canvas(13, 13, K::Panel);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor c = colours[(preset - 1) & 7];
    if (selected) {
        K::FillRounded(p, QRectF(0, 0, 13, 13), 3.5, K::Text);
        K::FillRounded(p, QRectF(1.5, 1.5, 10, 10), 2.5, K::Inset);
        K::FillRounded(p, QRectF(3, 3, 7, 7), 1.5, c);
    } else {
        K::FillRounded(p, QRectF(0, 0, 13, 13), 3.5, c, K::Inset, 1.5);
    }
    p.end();
    return Cut(img, 3.5);
}

QImage ControlArt::Picker()
{
    const int w = 84;
    const int h = 72;
    QImage img = K::Canvas(w, h, QColor(0x14, 0x14, 0x14));
    // Hue runs across, from pale at the top through full colour to deep at the bottom.
    const QRect field(4, 4, w - 8, h - 8);
    for (int y = field.top(); y <= field.bottom(); ++y) {
        const double v = double(y - field.top()) / field.height(); // 0 top, 1 bottom
        for (int x = field.left(); x <= field.right(); ++x) {
            const double hue = double(x - field.left()) / field.width();
            QColor c = QColor::fromHsvF(static_cast<float>(hue), 1.0f, 1.0f);
            if (v < 0.45) {
                const double t = (0.45 - v) / 0.45 * 0.85; // toward white
                c = QColor::fromRgbF(static_cast<float>(c.redF() + (1 - c.redF()) * t),
                                     static_cast<float>(c.greenF() + (1 - c.greenF()) * t),
                                     static_cast<float>(c.blueF() + (1 - c.blueF()) * t));
            } else {
                const double t = (v - 0.45) / 0.55 * 0.8; // toward black
                c = QColor::fromRgbF(static_cast<float>(c.redF() * (1 - t)),
                                     static_cast<float>(c.greenF() * (1 - t)),
                                     static_cast<float>(c.blueF() * (1 - t)));
            }
            QRgb rgb = c.rgb();
            if ((rgb & 0xFFFFFF) == 0x141414) // the ground is reserved for "no colour"
                rgb = qRgb(0x15, 0x14, 0x14);
            img.setPixel(x, y, rgb);
        }
    }
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x14, 0x14, 0x14), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(field).adjusted(-1, -1, 1, 1), 4, 4);
    p.end();
    return Cut(img, 7);
}

QImage ControlArt::Overlay()
{
    // It lies inside the tuning panel with its top on the panel's top edge, so its top
    // corners are square and its first row carries the panel's edge line on.
    const int w = 352;
    const int h = 290;
    const QRectF shape(0, -12, w, h + 12);
    QImage img = K::Canvas(w, h, K::Panel);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(QRectF(0, 0, w, 1), K::PanelEdge);
    // Ghosts of the four gauges it covers (the sliders sit 23, 110, 197, 284 px in).
    for (int k = 0; k < 4; ++k) {
        const qreal x = 23 + 87 * k + 28.5;
        K::FillRounded(p, QRectF(x - 5, 196, 10, 76), 5, QColor(0x1E, 0x23, 0x2D));
        K::FillRounded(p, QRectF(x - 17, 246 - 12 * k, 34, 14), 6, QColor(0x23, 0x29, 0x34));
    }
    const QRectF card(36, 40, w - 72, 136);
    K::FillRounded(p, card, 12, QColor(0x20, 0x26, 0x31), K::PanelEdge);
    // A padlock.
    const QPointF c(card.center().x(), card.top() + 36);
    p.setPen(Stroke(K::Accent, 2.5));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(c.x() - 8, c.y() - 17, 16, 18), 0, 180 * 16);
    p.drawLine(QPointF(c.x() - 8, c.y() - 8), QPointF(c.x() - 8, c.y() - 3));
    p.drawLine(QPointF(c.x() + 8, c.y() - 8), QPointF(c.x() + 8, c.y() - 3));
    K::FillRounded(p, QRectF(c.x() - 12, c.y() - 3, 24, 18), 4, K::Accent);
    p.setPen(Qt::NoPen);
    p.setBrush(K::Panel);
    p.drawEllipse(QPointF(c.x(), c.y() + 5), 2.5, 2.5);
    K::DrawText(p, QRectF(card.left(), card.top() + 64, card.width(), 20),
                K::Tr(QT_TRANSLATE_NOOP("Skin", "PRESET MODE")),
                K::Font(14, QFont::Bold, false, 2), K::Text, Qt::AlignCenter);
    K::DrawText(p, QRectF(card.left() + 10, card.top() + 88, card.width() - 20, 16),
                K::Tr(QT_TRANSLATE_NOOP("Skin", "Clocks, power and fan follow the chosen mode.")), K::Font(11),
                K::TextDim, Qt::AlignCenter);
    K::DrawText(p, QRectF(card.left() + 10, card.top() + 106, card.width() - 20, 16),
                K::Tr(QT_TRANSLATE_NOOP("Skin", "Choose CUSTOM to tune them by hand.")), K::Font(11), K::TextDim,
                Qt::AlignCenter);
    p.end();
    K::KeepWhiteOutsideOnly(img, shape, 10);
    K::CutOutside(img, shape, 10);
    return img;
}

QImage ControlArt::Icon(int size)
{
    QImage img(size, size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    K::FillRounded(p, QRectF(2, 2, 60, 60), 14, K::AccentGradient(QPointF(2, 2), QPointF(62, 62)));
    p.setPen(Stroke(QColor(0x0A, 0x0E, 0x16), 6));
    // Three rising bars: tuning upwards.
    for (int k = 0; k < 3; ++k)
        p.drawLine(QPointF(20 + 12 * k, 46), QPointF(20 + 12 * k, 36 - 8 * k));
    p.end();
    return img;
}

QMap<int, QImage> ControlArt::All()
{
    QMap<int, QImage> m;
    m[128] = Icon();
    m[133] = WindowButton(true, false);
    m[134] = WindowButton(true, true);
    m[135] = WindowButton(false, false);
    m[136] = WindowButton(false, true);
    m[191] = Pill(false);
    m[192] = Pill(true);
    // Mode cards: Extreme 141/149, Performance 143/150, Common 142/148, Custom 151/152.
    m[141] = ModeCard(0, false);
    m[149] = ModeCard(0, true);
    m[143] = ModeCard(1, false);
    m[150] = ModeCard(1, true);
    m[142] = ModeCard(2, false);
    m[148] = ModeCard(2, true);
    m[151] = ModeCard(3, false);
    m[152] = ModeCard(3, true);
    m[198] = SideButton(0, false, false);
    m[199] = SideButton(0, true, false);
    m[196] = SideButton(1, false, false);
    m[197] = SideButton(1, true, false);
    m[195] = SideButton(1, false, true);
    m[173] = Radio(false);
    m[174] = Radio(true);
    m[156] = Action(false, false);
    m[155] = Action(false, true);
    m[154] = Action(true, false);
    m[153] = Action(true, true);
    m[144] = Track(true);
    m[145] = Track(false);
    m[146] = Thumb(false);
    m[147] = Thumb(true);
    m[193] = LoadTab(false);
    m[194] = LoadTab(true);
    m[215] = CurveButton(false);
    m[216] = CurveButton(true);
    m[172] = Picker();
    m[171] = Overlay();
    for (int k = 0; k < 8; ++k) {
        m[175 + 2 * k] = Swatch(k + 1, false);
        m[176 + 2 * k] = Swatch(k + 1, true);
    }
    // LED targets: 207/208, 209/210, 211/212, 213/214.
    for (int k = 0; k < 4; ++k) {
        m[207 + 2 * k] = TargetButton(k + 1, false);
        m[208 + 2 * k] = TargetButton(k + 1, true);
    }
    return m;
}
