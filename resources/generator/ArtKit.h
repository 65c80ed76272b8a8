#pragma once

#include <QColor>
#include <QFont>
#include <QFontDatabase>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRectF>
#include <QString>

// The shared look of the program's artwork: its colours, its type, and the few shapes every
// picture is made of. Everything here is a pure function of its arguments, so the images
// come out the same on every run.
class ArtKit
{
public:
    // Colours of the dark theme.
    static const QColor Body;        // window ground
    static const QColor Title;       // title bar
    static const QColor Panel;       // raised panels, also the ground of tracks and radios
    static const QColor PanelEdge;
    static const QColor Inset;       // readout wells (the readouts themselves are black)
    static const QColor Raised;      // buttons at rest
    static const QColor RaisedEdge;
    static const QColor Accent;      // cyan
    static const QColor Accent2;     // violet
    static const QColor Text;
    static const QColor TextDim;
    static const QColor TextFaint;
    static const QColor Danger;

    // Registers the bundled system fonts once; falls back to the default family.
    static void LoadFonts();
    // A family that draws the letters of `system`, the bundled one first; empty when the
    // machine has none.
    static QString FamilyFor(QFontDatabase::WritingSystem system);
    // The family that draws what the Latin fonts have no glyph for (a translation's Chinese
    // captions); empty for none, and Latin text looks the same either way.
    static void SetFallbackFamily(const QString& family);
    // A caption in the language of the translation installed while painting; the "Skin"
    // context of the translations holds them, marked with QT_TRANSLATE_NOOP("Skin", ...).
    static QString Tr(const char* caption);
    static QFont Font(qreal pixelSize, int weight = QFont::Normal, bool condensed = false,
                      qreal letterSpacing = 0);
    // Draws text inside r; shrinks the font until the text fits r's width.
    static void DrawText(QPainter& p, const QRectF& r, const QString& text, const QFont& font,
                         const QColor& colour, int flags);

    static QPainterPath Rounded(const QRectF& r, qreal radius);
    static void FillRounded(QPainter& p, const QRectF& r, qreal radius, const QBrush& fill,
                            const QColor& edge = QColor(), qreal edgeWidth = 1.0);
    static QLinearGradient AccentGradient(const QPointF& from, const QPointF& to, int alpha = 255);

    // A blank image of the given size filled with ground (the colour the shape's soft edge
    // blends into).
    static QImage Canvas(int w, int h, const QColor& ground);
    // Sets every pixel whose centre lies outside the rounded rectangle to pure white, the
    // colour that the window outline code cuts away. Hard-edged on purpose: a soft edge would
    // leave near-white pixels that count as part of the shape.
    static void CutOutside(QImage& img, const QRectF& shape, qreal radius);
    // Turns every pure white pixel inside the picture into near-white, so only the cut
    // border is white.
    static void KeepWhiteOutsideOnly(QImage& img, const QRectF& shape, qreal radius);
};
