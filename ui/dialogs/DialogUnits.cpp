#include "ui/dialogs/DialogUnits.h"

#include <QFontMetrics>
#include <QString>

namespace {

// Rounded like the system's MulDiv.
int Scale(int units, int base, int divisor)
{
    const long long product = static_cast<long long>(units) * base;
    const long long half = divisor / 2;
    return static_cast<int>(product >= 0 ? (product + half) / divisor : (product - half) / divisor);
}

}  // namespace

DialogUnits::DialogUnits(const QFont& font)
{
    const QFontMetrics metrics(font);
    // The average over the 52 letters, rounded, as the system measures a dialog font.
    static const QString letters =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    baseWidth_ = (metrics.horizontalAdvance(letters) + 26) / 52;
    baseHeight_ = metrics.height();
    if (baseWidth_ < 1)
        baseWidth_ = 1;
    if (baseHeight_ < 1)
        baseHeight_ = 1;
}

QFont DialogUnits::DialogFont()
{
    QFont font(QStringLiteral("MS Shell Dlg 2"), 8);
    // Where that face does not exist the font system falls back to its own sans-serif face.
    font.setStyleHint(QFont::SansSerif);
    return font;
}

int DialogUnits::X(int units) const { return Scale(units, baseWidth_, 4); }

int DialogUnits::Y(int units) const { return Scale(units, baseHeight_, 8); }

QRect DialogUnits::Rect(int x, int y, int width, int height) const
{
    return QRect(X(x), Y(y), X(width), Y(height));
}

QSize DialogUnits::Size(int width, int height) const { return QSize(X(width), Y(height)); }
