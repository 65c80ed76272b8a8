#include "ui/controls/CMPStatic.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>

CMPStatic::CMPStatic(QWidget* parent, int id)
    : QWidget(parent), controlId(id)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CMPStatic::SetText(const QString& t)
{
    // The readouts are set every second; most seconds most of them do not change.
    if (t == text)
        return;
    text = t;
    update();
}

void CMPStatic::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // A rectangle with each corner pixel cut: the outline of a 2 x 2 rounded corner.
    const int w = width();
    const int h = height();
    if (w < 3 || h < 3) {
        clearMask();
        return;
    }
    QRegion outline(0, 1, w, h - 2);
    outline += QRegion(1, 0, w - 2, h);
    setMask(outline);
}

void CMPStatic::paintEvent(QPaintEvent* event)
{
    QPainter p(this);
    p.fillRect(event->rect(), backColor);
    if (text.isEmpty())
        return;
    p.setPen(textColor);
    p.setFont(font());
    const Qt::Alignment h = centered ? Qt::AlignHCenter : Qt::AlignRight;
    p.drawText(rect(), static_cast<int>(h | Qt::AlignVCenter) | Qt::TextSingleLine, text);
}

void CMPStatic::mousePressEvent(QMouseEvent* event)
{
    event->ignore();
}

void CMPStatic::mouseMoveEvent(QMouseEvent* event)
{
    event->ignore();
}
