#include "ArtKit.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QFontMetricsF>

#include <algorithm>
#include <cmath>

const QColor ArtKit::Body(0x12, 0x16, 0x1D);
const QColor ArtKit::Title(0x19, 0x1E, 0x27);
const QColor ArtKit::Panel(0x1A, 0x1F, 0x28);
const QColor ArtKit::PanelEdge(0x29, 0x30, 0x3D);
const QColor ArtKit::Inset(0x0C, 0x0E, 0x12);
const QColor ArtKit::Raised(0x22, 0x28, 0x33);
const QColor ArtKit::RaisedEdge(0x34, 0x3C, 0x4B);
const QColor ArtKit::Accent(0x2B, 0xC4, 0xEA);
const QColor ArtKit::Accent2(0x71, 0x6C, 0xFF);
const QColor ArtKit::Text(0xE4, 0xE9, 0xF0);
const QColor ArtKit::TextDim(0x8C, 0x96, 0xA8);
const QColor ArtKit::TextFaint(0x55, 0x5E, 0x70);
const QColor ArtKit::Danger(0xE5, 0x48, 0x4D);

namespace {
QString g_family;
QString g_condensed;
QString g_fallback;
const QString kChineseFamily = QStringLiteral("WenQuanYi Micro Hei");
} // namespace

void ArtKit::LoadFonts()
{
    if (!g_family.isEmpty())
        return;
    g_family = QStringLiteral("DejaVu Sans");
    g_condensed = QStringLiteral("DejaVu Sans Condensed");
    const QDir dir(QStringLiteral("/usr/share/fonts/truetype/dejavu"));
    for (const QString& f : {QStringLiteral("DejaVuSans.ttf"), QStringLiteral("DejaVuSans-Bold.ttf"),
                             QStringLiteral("DejaVuSansCondensed.ttf"),
                             QStringLiteral("DejaVuSansCondensed-Bold.ttf")}) {
        if (dir.exists(f))
            QFontDatabase::addApplicationFont(dir.filePath(f));
    }
    const QString chinese = QStringLiteral("/usr/share/fonts/truetype/wqy/wqy-microhei.ttc");
    if (QFile::exists(chinese))
        QFontDatabase::addApplicationFont(chinese);
}

QString ArtKit::FamilyFor(QFontDatabase::WritingSystem system)
{
    const QStringList families = QFontDatabase::families(system);
    return families.contains(kChineseFamily) ? kChineseFamily : families.value(0);
}

void ArtKit::SetFallbackFamily(const QString& family)
{
    g_fallback = family;
}

QString ArtKit::Tr(const char* caption)
{
    return QCoreApplication::translate("Skin", caption);
}

QFont ArtKit::Font(qreal px, int weight, bool condensed, qreal spacing)
{
    QFont f(condensed ? g_condensed : g_family);
    if (!g_fallback.isEmpty())
        f.setFamilies({f.family(), g_fallback});
    f.setPixelSize(static_cast<int>(std::lround(px)));
    f.setWeight(static_cast<QFont::Weight>(weight));
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setStyleStrategy(QFont::PreferAntialias);
    if (spacing != 0)
        f.setLetterSpacing(QFont::AbsoluteSpacing, spacing);
    return f;
}

void ArtKit::DrawText(QPainter& p, const QRectF& r, const QString& text, const QFont& font,
                      const QColor& colour, int flags)
{
    QFont f = font;
    // Chinese fills its whole em square with more strokes than Latin capitals do: a pixel
    // more reads as the same size.
    if (std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.script() == QChar::Script_Han; }))
        f.setPixelSize(f.pixelSize() + 1);
    while (f.pixelSize() > 7 && QFontMetricsF(f).horizontalAdvance(text) > r.width())
        f.setPixelSize(f.pixelSize() - 1);
    p.save();
    p.setFont(f);
    p.setPen(colour);
    p.drawText(r, flags, text);
    p.restore();
}

QPainterPath ArtKit::Rounded(const QRectF& r, qreal radius)
{
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    return path;
}

void ArtKit::FillRounded(QPainter& p, const QRectF& r, qreal radius, const QBrush& fill,
                         const QColor& edge, qreal edgeWidth)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(edge.isValid() ? QPen(edge, edgeWidth) : QPen(Qt::NoPen));
    p.setBrush(fill);
    const qreal inset = edge.isValid() ? edgeWidth / 2 : 0;
    p.drawRoundedRect(r.adjusted(inset, inset, -inset, -inset), radius, radius);
    p.restore();
}

QLinearGradient ArtKit::AccentGradient(const QPointF& from, const QPointF& to, int alpha)
{
    QLinearGradient g(from, to);
    QColor a = Accent;
    QColor b = Accent2;
    a.setAlpha(alpha);
    b.setAlpha(alpha);
    g.setColorAt(0, a);
    g.setColorAt(1, b);
    return g;
}

QImage ArtKit::Canvas(int w, int h, const QColor& ground)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(ground);
    return img;
}

static bool Inside(qreal cx, qreal cy, const QRectF& s, qreal radius)
{
    if (cx < s.left() || cx > s.right() || cy < s.top() || cy > s.bottom())
        return false;
    const qreal ix = std::clamp(cx, s.left() + radius, s.right() - radius);
    const qreal iy = std::clamp(cy, s.top() + radius, s.bottom() - radius);
    const qreal dx = cx - ix;
    const qreal dy = cy - iy;
    return dx * dx + dy * dy <= radius * radius;
}

void ArtKit::CutOutside(QImage& img, const QRectF& shape, qreal radius)
{
    for (int y = 0; y < img.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x)
            if (!Inside(x + 0.5, y + 0.5, shape, radius))
                row[x] = qRgb(255, 255, 255);
    }
}

void ArtKit::KeepWhiteOutsideOnly(QImage& img, const QRectF& shape, qreal radius)
{
    for (int y = 0; y < img.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const QRgb c = row[x];
            if (qRed(c) >= 250 && qGreen(c) >= 250 && qBlue(c) >= 250
                && Inside(x + 0.5, y + 0.5, shape, radius))
                row[x] = qRgb(247, 248, 250);
        }
    }
}
