#include "ui/controls/CMPButton.h"

#include "ui/controls/CBmpRgn.h"
#include "ui/controls/CCommandEvent.h"
#include "ui/controls/SkinImages.h"

#include <QCoreApplication>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>

#include <cstdlib>

CMPButton::CMPButton(QWidget* parent, int id)
    : QWidget(parent), controlId(id)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
}

void CMPButton::Create(int id, const QRect& rect, int normalId, int hotId, int extraId,
                       const QString& text)
{
    controlId = id;
    setGeometry(rect);
    caption = text;
    SetBitmaps(normalId, hotId, extraId);
    const QImage normal = LoadSkinImage(normalId);
    if (normal.isNull())
        return;
    CBmpRgn shape(this, normal, qRgb(255, 255, 255), 0, 0);
    shape.ApplyRegion();
}

void CMPButton::SetBitmaps(int normalId, int hotId, int extraId)
{
    normalBitmapId = normalId;
    hotBitmapId = hotId;
    extraBitmapId = extraId;
    update();
}

void CMPButton::SetText(const QString& text)
{
    caption = text;
    update();
}

void CMPButton::SetChecked(bool on)
{
    checked = on;
    update();
}

int CMPButton::ShownBitmapId() const
{
    return (checked || hover || pressed) ? hotBitmapId : normalBitmapId;
}

bool CMPButton::IsOverButton(QPoint local) const
{
    if (!rect().contains(local))
        return false;
    const QRegion shape = mask();
    return shape.isEmpty() || shape.contains(local);
}

void CMPButton::SetHover(bool on)
{
    if (hover == on)
        return;
    hover = on;
    update();
}

void CMPButton::Draw(QPainter& p, bool withMark) const
{
    const int id = ShownBitmapId();
    const QImage img = id ? LoadSkinImage(id) : QImage();
    if (!img.isNull()) {
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(rect(), img);
    }
    if (withMark && colorPick && hasPickMark) {
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRect(pickMark.x() - 3, pickMark.y() - 3, 6, 6));
    }

    // The caption is black in every state, disabled included, like the pictures it sits on.
    const QString text = caption.left(kMaxCaptionChars);
    if (text.isEmpty())
        return;
    p.setFont(font());
    p.setPen(Qt::black);
    const int w = width();
    const int h = height();
    const int flags = Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine;
    const int lf = text.indexOf(QLatin1Char('\n'));
    if (lf < 0) {
        // Pressed, the caption moves up by a pixel.
        const QRect r = pressed ? QRect(QPoint(1, 0), QPoint(w - 2, h - 3))
                                : QRect(QPoint(0, 1), QPoint(w - 1, h - 2));
        p.drawText(r, flags, text);
        return;
    }
    const int left = pressed ? 0 : 1;
    const int right = pressed ? w - 1 : w;
    p.drawText(QRect(QPoint(left, 6), QPoint(right - 1, h / 2 + 4 - 1)), flags, text.left(lf));
    p.drawText(QRect(QPoint(left, h / 2), QPoint(right - 1, h - 2)), flags, text.mid(lf + 1));
}

void CMPButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    Draw(p, true);
}

void CMPButton::PaintSwatch(QPainter& parentPainter) const
{
    if (pickedColor.isValid())
        parentPainter.fillRect(kSwatchRect, pickedColor);
}

void CMPButton::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    SetHover(IsOverButton(event->position().toPoint()));
}

void CMPButton::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    SetHover(false);
}

void CMPButton::mouseMoveEvent(QMouseEvent* event)
{
    SetHover(IsOverButton(event->position().toPoint()));
}

void CMPButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    pressTick = now();
    pressed = true;
    update();
}

bool CMPButton::PickAt(QPoint local)
{
    if (!IsOverButton(local))
        return false;
    // The colour as the picture shows it, without an earlier pick's mark.
    QImage shot(size(), QImage::Format_RGB32);
    shot.fill(Qt::black);
    {
        QPainter p(&shot);
        Draw(p, false);
    }
    const QRgb colour = shot.pixel(local) & 0xFFFFFF;
    if (colour == kPickerGround)
        return false;
    pickMark = local;
    hasPickMark = true;
    pickedColor = QColor::fromRgb(colour);
    update();
    if (QWidget* p = parentWidget())
        p->update(kSwatchRect);
    return true;
}

void CMPButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !pressed) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    pressed = false;
    update();
    const QPoint at = event->position().toPoint();
    SetHover(IsOverButton(at));
    if (colorPick && !PickAt(at))
        return;
    // A long press is taken as the user changing their mind: no click.
    if (std::llabs(now() - pressTick) >= kLongPressMs)
        return;
    if (QWidget* p = parentWidget())
        QCoreApplication::postEvent(p, new CCommandEvent(controlId, this));
}

void CMPButton::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) {
        if (!isEnabled()) {
            hover = false;
            pressed = false;
        }
        update();
    }
}
