#pragma once

#include <QImage>
#include <QPointer>
#include <QRegion>
#include <QWidget>

// Shapes a window to the outline of an image: the window takes the image's size and loses,
// row by row, the pixels at the left and right ends that have the transparent colour. Used
// for the skinned main window and for every skinned button.
class CBmpRgn
{
public:
    CBmpRgn() = default;
    CBmpRgn(QWidget* window, const QImage& bitmap, QRgb transparentColor, int leftInset, int rightInset);
    virtual ~CBmpRgn() = default;

    // Builds the outline and gives it to the window as its mask; the window is resized to the
    // image, keeping its top-left corner. Does nothing without a window or a usable image.
    void ApplyRegion();

    // The outline alone, in image coordinates. Rows that are transparent from end to end
    // contribute nothing. Empty for an image without pixels or with fewer than three colour
    // bytes per pixel.
    static QRegion BuildRegion(const QImage& bitmap, QRgb transparentColor, int leftInset, int rightInset);

    // A pixel is transparent when each channel lies within 2 of the transparent colour's.
    static bool IsTransparent(QRgb pixel, QRgb transparentColor);

    const QRegion& Region() const { return region; }

    QPointer<QWidget> window;
    QImage bitmap;
    QRegion region;
    QRgb transparentColor = 0xFFFFFFFF;
    int leftInset = 0;
    int rightInset = 0;
};
