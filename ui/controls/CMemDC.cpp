#include "ui/controls/CMemDC.h"

#include <QPaintDevice>
#include <QPaintEngine>
#include <QPixmap>

namespace {

QRect DeviceRect(const QPainter& p)
{
    const QPaintDevice* dev = p.device();
    return dev ? QRect(0, 0, dev->width(), dev->height()) : QRect();
}

} // namespace

CMemDC::CMemDC(QPainter& target, const QRect& area, bool copyBackground)
    : targetDC(&target)
{
    rect = area;
    if (rect.isEmpty())
        rect = target.hasClipping() ? target.clipBoundingRect().toAlignedRect() : DeviceRect(target);
    const QPaintDevice* dev = target.device();
    // Printers and PDF writers are "printing": they keep vector output, so no bitmap between.
    const bool printing = (dev && dev->devType() == QInternal::Printer)
        || (target.paintEngine() && target.paintEngine()->type() == QPaintEngine::Pdf);
    isMemoryDC = !printing;
    if (!isMemoryDC || rect.isEmpty())
        return;

    bitmap = QImage(rect.size(), QImage::Format_ARGB32_Premultiplied);
    bitmap.fill(target.background().color());
    if (copyBackground && dev) {
        // Only devices whose pixels can be read are copied; a widget's own surface cannot
        // be read from inside its paint, so it keeps the background fill.
        const QRect devRect = target.transform().mapRect(rect);
        if (dev->devType() == QInternal::Image) {
            const auto* img = static_cast<const QImage*>(dev);
            bitmap = img->copy(devRect).convertToFormat(QImage::Format_ARGB32_Premultiplied);
        } else if (dev->devType() == QInternal::Pixmap) {
            const auto* pm = static_cast<const QPixmap*>(dev);
            bitmap = pm->copy(devRect).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        }
    }
    memPainter.begin(&bitmap);
    memPainter.setRenderHints(target.renderHints());
    memPainter.setFont(target.font());
    memPainter.setPen(target.pen());
    memPainter.setBrush(target.brush());
    // Same coordinates as on the target: the surface's origin is the rect's top-left corner.
    memPainter.translate(-rect.topLeft());
}

CMemDC::~CMemDC()
{
    Close();
}

QPainter& CMemDC::Painter()
{
    return (isMemoryDC && memPainter.isActive()) ? memPainter : *targetDC;
}

void CMemDC::Close()
{
    if (closed)
        return;
    closed = true;
    if (!isMemoryDC || !memPainter.isActive())
        return;
    memPainter.end();
    targetDC->drawImage(rect.topLeft(), bitmap);
}
