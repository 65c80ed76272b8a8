#include "ui/controls/CFanCurvePlot.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

// The dialogs' colours (DialogLook): ground, wells, edges, text; the curve in the skin's cyan,
// what the fan does now in the badge's amber.
const QColor kGround(0x17, 0x1c, 0x27);
const QColor kWell(0x23, 0x2b, 0x3c);
const QColor kGrid(0x2e, 0x37, 0x4b);
const QColor kText(0xe4, 0xe9, 0xf2);
const QColor kTextDim(0x8c, 0x96, 0xa8);
const QColor kCurve(0x2f, 0xc3, 0xf3);
const QColor kLive(0xe0, 0x8a, 0x00);

}  // namespace

CFanCurvePlot::CFanCurvePlot(QWidget* parent) : QWidget(parent)
{
    setMinimumSize(kLeftPx + kRightPx + 240, kTopPx + kBottomPx + 150);
    setMouseTracking(false);
}

void CFanCurvePlot::SetPoints(const QVector<FanCurvePlotPoint>& points)
{
    points_ = points;
    if (selected_ >= points_.size())
        selected_ = static_cast<int>(points_.size()) - 1;
    update();
}

void CFanCurvePlot::SetAutoBelow(bool on)
{
    autoBelow_ = on;
    update();
}

void CFanCurvePlot::SetLevelAxis(int highest, const QString& unit)
{
    highestLevel_ = std::max(highest, 1);
    unit_ = unit;
    update();
}

void CFanCurvePlot::SetTemperatureLimits(int lowestC, int highestC)
{
    lowestC_ = lowestC;
    highestC_ = highestC;
}

void CFanCurvePlot::SetLive(std::optional<int> temperatureC, std::optional<int> level, bool automatic)
{
    if (liveC_ == temperatureC && liveLevel_ == level && liveAutomatic_ == automatic)
        return;
    liveC_ = temperatureC;
    liveLevel_ = level;
    liveAutomatic_ = automatic;
    update();
}

void CFanCurvePlot::SelectPoint(int index)
{
    selected_ = index >= 0 && index < points_.size() ? index : -1;
    update();
}

int CFanCurvePlot::FirstShownC() const
{
    return points_.isEmpty() ? kLowestShownC : std::min(kLowestShownC, points_.front().temperatureC);
}

int CFanCurvePlot::LastShownC() const
{
    return points_.isEmpty() ? kHighestShownC : std::max(kHighestShownC, points_.back().temperatureC);
}

QRect CFanCurvePlot::Area() const
{
    return QRect(QPoint(kLeftPx, kTopPx), QPoint(width() - kRightPx - 1, height() - kBottomPx - 1));
}

double CFanCurvePlot::X(double temperatureC) const
{
    const QRect a = Area();
    const int first = FirstShownC();
    return a.left() + (temperatureC - first) * (a.width() - 1) / std::max(LastShownC() - first, 1);
}

double CFanCurvePlot::Y(double level) const
{
    const QRect a = Area();
    return a.bottom() - level * (a.height() - 1) / highestLevel_;
}

int CFanCurvePlot::TemperatureAtX(double x) const
{
    const QRect a = Area();
    const int first = FirstShownC();
    return first + static_cast<int>(std::lround((x - a.left()) * (LastShownC() - first) / std::max(a.width() - 1, 1)));
}

int CFanCurvePlot::LevelAtY(double y) const
{
    const QRect a = Area();
    return static_cast<int>(std::lround((a.bottom() - y) * highestLevel_ / std::max(a.height() - 1, 1)));
}

QPoint CFanCurvePlot::PointPosition(int index) const
{
    const FanCurvePlotPoint& p = points_.at(index);
    return QPoint(static_cast<int>(std::lround(X(p.temperatureC))), static_cast<int>(std::lround(Y(p.level))));
}

int CFanCurvePlot::PointNear(QPoint at) const
{
    int nearest = -1;
    int best = kGrabPx * kGrabPx + 1;
    for (int i = 0; i < points_.size(); ++i) {
        const QPoint d = PointPosition(i) - at;
        const int distance = d.x() * d.x() + d.y() * d.y();
        if (distance < best) {
            best = distance;
            nearest = i;
        }
    }
    return nearest;
}

void CFanCurvePlot::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const QPoint at = event->position().toPoint();
    const int index = PointNear(at);
    if (index < 0)
        return;
    dragged_ = index;
    grabOffset_ = at - PointPosition(index);
    selected_ = index;
    update();
    emit pointSelected(index);
}

void CFanCurvePlot::mouseMoveEvent(QMouseEvent* event)
{
    if (dragged_ < 0 || !(event->buttons() & Qt::LeftButton))
        return;
    const QPointF at = event->position() - QPointF(grabOffset_);
    FanCurvePlotPoint& p = points_[dragged_];
    // Between the neighbours, so the order the temperatures rise in is the order of the
    // points; and within what the plot shows, so that the axis does not move under the pointer.
    int lowest = std::max(lowestC_, FirstShownC());
    int highest = std::min(highestC_, LastShownC());
    if (dragged_ > 0)
        lowest = std::max(lowest, points_[dragged_ - 1].temperatureC + 1);
    if (dragged_ + 1 < points_.size())
        highest = std::min(highest, points_[dragged_ + 1].temperatureC - 1);
    const FanCurvePlotPoint moved{std::clamp(TemperatureAtX(at.x()), lowest, std::max(lowest, highest)),
                                  std::clamp(LevelAtY(at.y()), 0, highestLevel_)};
    if (moved == p)
        return;
    p = moved;
    update();
    emit pointDragged(dragged_);
}

void CFanCurvePlot::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        dragged_ = -1;
    QWidget::mouseReleaseEvent(event);
}

void CFanCurvePlot::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), kGround);
    const QRect a = Area();
    p.fillRect(a, kWell);

    QFont small = font();
    small.setPixelSize(10);
    p.setFont(small);
    // Every 10 C across; a quarter of the fan's range up.
    const int first = FirstShownC();
    const int last = LastShownC();
    for (int c = (first + 9) / 10 * 10; c <= last; c += 10) {
        const int x = static_cast<int>(std::lround(X(c)));
        p.setPen(kGrid);
        p.drawLine(x, a.top(), x, a.bottom());
        p.setPen(kTextDim);
        p.drawText(QRect(x - 20, a.bottom() + 3, 40, 12), Qt::AlignHCenter | Qt::AlignTop, QString::number(c));
    }
    p.drawText(QRect(a.left(), a.bottom() + 14, a.width(), 12), Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("\u00B0C"));
    for (int quarter = 0; quarter <= 4; ++quarter) {
        const int level = highestLevel_ * quarter / 4;
        const int y = static_cast<int>(std::lround(Y(level)));
        p.setPen(kGrid);
        p.drawLine(a.left(), y, a.right(), y);
        p.setPen(kTextDim);
        p.drawText(QRect(0, y - 6, kLeftPx - 4, 12), Qt::AlignRight | Qt::AlignVCenter,
                   QString::number(level) + QLatin1Char(' ') + unit_);
    }

    p.setRenderHint(QPainter::Antialiasing);
    if (!points_.isEmpty()) {
        const QPointF firstPoint(X(points_.front().temperatureC), Y(points_.front().level));
        const QPointF lastPoint(X(points_.back().temperatureC), Y(points_.back().level));
        // Left of the first point: flat at its level, or the card's own control.
        if (autoBelow_) {
            const QRectF below(QPointF(a.left(), a.top()), QPointF(firstPoint.x(), a.bottom()));
            p.fillRect(below, QColor(0x2f, 0xc3, 0xf3, 28));
            p.setPen(kTextDim);
            p.drawText(below.adjusted(2, 4, -2, 0), Qt::AlignHCenter | Qt::AlignTop, tr("auto"));
        } else {
            p.setPen(QPen(kCurve, 2, Qt::DashLine));
            p.drawLine(QPointF(a.left(), firstPoint.y()), firstPoint);
        }
        p.setPen(QPen(kCurve, 2, Qt::DashLine));
        p.drawLine(lastPoint, QPointF(a.right(), lastPoint.y()));
        QPainterPath path(firstPoint);
        for (const FanCurvePlotPoint& point : points_)
            path.lineTo(X(point.temperatureC), Y(point.level));
        p.setPen(QPen(kCurve, 2));
        p.setBrush(Qt::NoBrush);
        p.drawPath(path);
        for (int i = 0; i < points_.size(); ++i) {
            p.setPen(QPen(i == selected_ ? kCurve : kGround, 2));
            p.setBrush(i == selected_ ? kText : kCurve);
            p.drawEllipse(QPointF(PointPosition(i)), 5, 5);
        }
    }

    if (liveC_) {
        const double x = X(std::clamp(*liveC_, first, last));
        p.setPen(QPen(kLive, 1, Qt::DashLine));
        p.drawLine(QPointF(x, a.top()), QPointF(x, a.bottom()));
        p.setPen(kLive);
        QString caption = QString::number(*liveC_) + QStringLiteral(" \u00B0C");
        if (liveAutomatic_)
            caption += QStringLiteral(", ") + tr("auto");
        else if (liveLevel_)
            caption += QStringLiteral(", ") + QString::number(*liveLevel_) + QLatin1Char(' ') + unit_;
        const bool right = x < a.center().x();
        p.drawText(QRectF(right ? x + 4 : x - 124, a.top() + 2, 120, 14),
                   (right ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignTop, caption);
        if (liveLevel_ && !liveAutomatic_) {
            p.setBrush(kLive);
            p.setPen(Qt::NoPen);
            p.drawEllipse(QPointF(x, Y(std::clamp(*liveLevel_, 0, highestLevel_))), 4, 4);
        }
    }
}
