#pragma once

#include <QImage>
#include <QPainter>
#include <QRect>

// An off-screen drawing surface standing for an area of a target painter. Everything drawn
// through Painter() lands in a memory image and reaches the target in a single copy when the
// surface is closed, so a control that repaints itself piece by piece never shows the
// intermediate states. Over a printer the surface draws straight into the target instead.
class CMemDC
{
public:
    // rect is in the target's logical coordinates; an empty rect takes the target's clip box
    // (or the whole device when it has no clip). With copyBackground the surface starts with
    // what the target device already shows there (when that can be read), otherwise it is
    // filled with the target's background colour.
    explicit CMemDC(QPainter& target, const QRect& rect = QRect(), bool copyBackground = false);
    ~CMemDC();

    CMemDC(const CMemDC&) = delete;
    CMemDC& operator=(const CMemDC&) = delete;

    // The painter to draw with; it uses the same coordinates as the target.
    QPainter& Painter();
    const QRect& Rect() const { return rect; }
    bool IsMemoryDC() const { return isMemoryDC; }

    // Copies the surface to the target now; later drawing goes straight to the target.
    // The destructor does this when it was not done before.
    void Close();

private:
    QImage bitmap;
    QPainter memPainter;
    QPainter* targetDC;
    QRect rect;
    bool isMemoryDC;
    bool closed = false;
};
