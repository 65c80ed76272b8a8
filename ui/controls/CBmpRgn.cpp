#include "ui/controls/CBmpRgn.h"

#include <QPolygon>

#include <cstdlib>
#include <vector>

CBmpRgn::CBmpRgn(QWidget* w, const QImage& bmp, QRgb transparent, int left, int right)
    : window(w), bitmap(bmp), transparentColor(transparent), leftInset(left), rightInset(right)
{
}

bool CBmpRgn::IsTransparent(QRgb pixel, QRgb transparent)
{
    return std::abs(qRed(pixel) - qRed(transparent)) <= 2
        && std::abs(qGreen(pixel) - qGreen(transparent)) <= 2
        && std::abs(qBlue(pixel) - qBlue(transparent)) <= 2;
}

QRegion CBmpRgn::BuildRegion(const QImage& bmp, QRgb transparent, int leftInset, int rightInset)
{
    if (bmp.isNull() || bmp.width() <= 0 || bmp.height() <= 0)
        return QRegion();
    // Indexed and grey images carry no three colour channels to compare.
    switch (bmp.format()) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
    case QImage::Format_Grayscale8:
    case QImage::Format_Grayscale16:
    case QImage::Format_Alpha8:
        return QRegion();
    default:
        break;
    }

    const QImage img = bmp.convertToFormat(QImage::Format_RGB32);
    const int w = img.width();
    const int h = img.height();
    const QRect bounds(0, 0, w, h);

    // The points run down the left edge and back up the right edge. A row that is
    // transparent from end to end has no edge points, so it ends one polygon; the rows
    // below it start the next. Each polygon is cut to the image rectangle.
    QRegion outline;
    std::vector<QPoint> leftEdge;
    std::vector<QPoint> rightEdge;
    auto flush = [&] {
        if (!leftEdge.empty()) {
            QPolygon poly;
            poly.reserve(static_cast<int>(leftEdge.size() * 2));
            for (const QPoint& p : leftEdge)
                poly << p;
            for (auto it = rightEdge.rbegin(); it != rightEdge.rend(); ++it)
                poly << *it;
            outline += QRegion(poly, Qt::OddEvenFill) & bounds;
        }
        leftEdge.clear();
        rightEdge.clear();
    };

    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        int left = 0;
        while (left < w && IsTransparent(row[left], transparent))
            ++left;
        if (left == w) {
            flush();
            continue;
        }
        int right = w - 1;
        while (right > left && IsTransparent(row[right], transparent))
            --right;
        leftEdge.emplace_back(left + leftInset, y);
        rightEdge.emplace_back(right - rightInset, y);
    }
    flush();
    return outline;
}

void CBmpRgn::ApplyRegion()
{
    if (!window || bitmap.isNull() || bitmap.width() == 0)
        return;
    region = BuildRegion(bitmap, transparentColor, leftInset, rightInset);
    window->resize(bitmap.size());
    window->setMask(region);
}
