#include "ui/controls/CBitmapSlider.h"

#include "ui/controls/CMemDC.h"
#include "ui/controls/CSliderEvent.h"
#include "ui/controls/SkinImages.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QVariant>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr int kThumbId = 146;
constexpr int kGreyThumbId = 147;
constexpr int kFilledTrackId = 144;
constexpr int kEmptyTrackId = 145;

// Truncates toward zero and keeps the result inside int, so that a value far outside the
// range (SetRange does not clamp) cannot overflow the conversion.
int TruncToInt(double v)
{
    constexpr double lo = std::numeric_limits<int>::min();
    constexpr double hi = std::numeric_limits<int>::max();
    return static_cast<int>(std::trunc(std::clamp(v, lo, hi)));
}

} // namespace

CBitmapSlider::CBitmapSlider(QWidget* parent, int id)
    : QWidget(parent), controlId(id)
{
    setFocusPolicy(Qt::ClickFocus);
    // Every pixel is painted each time; nothing needs erasing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QImage CBitmapSlider::PrepareThumb(const QImage& image, QImage* mask)
{
    // The top-left pixel's colour is the thumb's transparent colour. The mask is 1 there;
    // the drawn image is cleared there, so only the thumb's own pixels cover the track.
    const QRgb key = image.pixel(0, 0);
    if (mask)
        *mask = image.createMaskFromColor(key, Qt::MaskInColor);
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            if ((row[x] & 0xFFFFFF) == (key & 0xFFFFFF))
                row[x] = qRgba(0, 0, 0, 0);
    }
    return out;
}

void CBitmapSlider::SetThumbBitmap()
{
    thumbImage = QImage();
    const QImage img = LoadSkinImage(kThumbId);
    if (img.isNull())
        return;
    thumbImage = PrepareThumb(img, &thumbMask);
    const QImage grey = LoadSkinImage(kGreyThumbId);
    greyThumbImage = grey.isNull() ? QImage() : PrepareThumb(grey, nullptr);
    thumbWidth = thumbImage.width();
    thumbHeight = thumbImage.height();
    TakeClientSize();
    hasThumb = true;
}

void CBitmapSlider::TakeClientSize()
{
    clientRect = rect();
    width = clientRect.width();
    height = clientRect.height();
}

void CBitmapSlider::SetRange(int min, int max)
{
    minimum = min;
    maximum = max;
}

void CBitmapSlider::SetPos(int value)
{
    position = value;
    if (position > maximum)
        position = maximum;
    if (position < minimum)
        position = minimum;
    update();
}

int CBitmapSlider::PixelOfPosition(int value) const
{
    const int half = thumbHeight / 2;
    const int span = height - thumbHeight;
    if (maximum <= minimum || span <= 0)
        return half + std::max(span, 0);
    const double share = (static_cast<double>(maximum) - value)
        / (static_cast<double>(maximum) - minimum);
    return half + TruncToInt(share * span);
}

int CBitmapSlider::PositionOfPixel(int y) const
{
    const int span = height - thumbHeight;
    if (maximum <= minimum || span <= 0)
        return minimum;
    const double share = static_cast<double>(y - thumbHeight / 2) / span;
    return TruncToInt(maximum - share * (static_cast<double>(maximum) - minimum));
}

void CBitmapSlider::PostToParent(QEvent::Type type)
{
    if (QWidget* p = parentWidget())
        QCoreApplication::postEvent(p, new CSliderEvent(type, controlId, position));
}

void CBitmapSlider::TrackTo(int pointerY)
{
    const int half = thumbHeight / 2;
    int y = pointerY - grabOffset;
    if (y > height - half)
        y = height - half;
    if (y < half)
        y = half;
    if (y == PixelOfPosition(position))
        return;
    position = PositionOfPixel(y);
    if (position > maximum)
        position = maximum;
    if (position < minimum)
        position = minimum;
    update();
    PostToParent(CSliderEvent::Moving);
}

void CBitmapSlider::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    tracking = true;
    const int y = event->position().toPoint().y();
    const int d = y - PixelOfPosition(position);
    // A press off the thumb makes the thumb centre jump to the pointer; a press on it keeps
    // the grip point under the pointer while dragging.
    grabOffset = (std::abs(d) > thumbHeight / 2) ? 0 : d;
    TrackTo(y);
    update();
}

void CBitmapSlider::mouseMoveEvent(QMouseEvent* event)
{
    if (!tracking)
        return;
    TrackTo(event->position().toPoint().y());
}

void CBitmapSlider::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !tracking) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    tracking = false;
    update();
    PostToParent(CSliderEvent::Moved);
}

void CBitmapSlider::keyPressEvent(QKeyEvent* event)
{
    int value = 0;
    switch (event->key()) {
    case Qt::Key_PageUp: value = position + pageSize; break;
    case Qt::Key_PageDown: value = position - pageSize; break;
    case Qt::Key_End: value = maximum; break;
    case Qt::Key_Home: value = minimum; break;
    case Qt::Key_Up:
    case Qt::Key_Right: value = position + 1; break;
    case Qt::Key_Down:
    case Qt::Key_Left: value = position - 1; break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    SetPos(value);
    PostToParent(CSliderEvent::Moved);
}

void CBitmapSlider::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    update();
}

void CBitmapSlider::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    update();
}

void CBitmapSlider::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // The geometry is normally final before the thumb is set; if the owner moves or
    // resizes the slider later, the arithmetic follows the new size.
    if (hasThumb)
        TakeClientSize();
}

void CBitmapSlider::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        update();
}

void CBitmapSlider::paintEvent(QPaintEvent*)
{
    QPainter target(this);
    CMemDC mem(target, rect());
    QPainter& p = mem.Painter();

    // The part of the parent's skin that lies under the slider.
    const QWidget* parent = parentWidget();
    const QVariant skin = parent ? parent->property("BmpProp") : QVariant();
    const QRect place = geometry();
    if (skin.typeId() == QMetaType::QImage && !skin.value<QImage>().isNull())
        p.drawImage(QPoint(0, 0), skin.value<QImage>(), place);
    else if (skin.typeId() == QMetaType::QPixmap && !skin.value<QPixmap>().isNull())
        p.drawPixmap(QPoint(0, 0), skin.value<QPixmap>(), place);
    else
        p.fillRect(rect(), palette().window());

    // The filled track shows below the thumb, the empty track from the top to its centre.
    const int centre = PixelOfPosition(position);
    const QImage filled = LoadSkinImage(kFilledTrackId);
    if (!filled.isNull())
        p.drawImage(QPoint(0, (QWidget::height() - filled.height()) / 2), filled);
    const QImage empty = LoadSkinImage(kEmptyTrackId);
    if (!empty.isNull() && centre > 0)
        p.drawImage(QPoint(0, 0), empty, QRect(0, 0, width, centre));

    if (hasThumb) {
        const QImage& thumb = (!isEnabled() && !greyThumbImage.isNull()) ? greyThumbImage : thumbImage;
        p.drawImage(QPoint(0, centre - thumbHeight / 2), thumb);
    }
}
