#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

// The small dialogs are laid out in dialog units, as their templates were drawn: a quarter of
// the dialog font's average character width across, an eighth of its height down. Scaling by
// the font keeps the buttons' captions inside them whatever font the system substitutes.
class DialogUnits
{
public:
    explicit DialogUnits(const QFont& font);

    // The dialogs' font: the system's dialog face at 8 points.
    static QFont DialogFont();

    int X(int units) const;
    int Y(int units) const;
    QRect Rect(int x, int y, int width, int height) const;
    QSize Size(int width, int height) const;

    int BaseWidth() const { return baseWidth_; }
    int BaseHeight() const { return baseHeight_; }

private:
    int baseWidth_;
    int baseHeight_;
};
