#pragma once

#include <QPoint>
#include <QRect>
#include <QString>
#include <QVector>
#include <QWidget>

#include <optional>

// One point of the plotted curve: at this temperature the fan runs at this level.
struct FanCurvePlotPoint
{
    int temperatureC = 0;
    int level = 0;
    friend bool operator==(const FanCurvePlotPoint&, const FanCurvePlotPoint&) = default;
};

// A fan curve drawn over the GPU's temperature (across, at least 20..100 C, wider where a point
// lies outside) and the fan's level (up, 0 to the fan's highest level), with the temperature and
// level the fan runs at now. A point is dragged with the left button, both ways at once: its
// temperature stays between its neighbours', so the points never change places, and its level
// within the axis. Below the first point the curve either stays flat or, handed back, is
// marked as the card's own control.
class CFanCurvePlot : public QWidget
{
    Q_OBJECT

public:
    // The plot's frame: the axis captions sit in these margins.
    static constexpr int kLeftPx = 48;
    static constexpr int kRightPx = 16;
    static constexpr int kTopPx = 12;
    static constexpr int kBottomPx = 28;
    static constexpr int kLowestShownC = 20;
    static constexpr int kHighestShownC = 100;
    // How far from a point a press still takes it.
    static constexpr int kGrabPx = 9;

    explicit CFanCurvePlot(QWidget* parent = nullptr);

    void SetPoints(const QVector<FanCurvePlotPoint>& points);
    const QVector<FanCurvePlotPoint>& Points() const { return points_; }
    void SetAutoBelow(bool on);
    // The level axis: 0 to highest, captioned with unit ("%", "RPM").
    void SetLevelAxis(int highest, const QString& unit);
    // The temperatures a dragged point may take, beyond which no curve is sound.
    void SetTemperatureLimits(int lowestC, int highestC);
    // What the fan does now: a vertical line at the temperature, a mark at the level, "auto"
    // where the card runs it. None of either: nothing drawn.
    void SetLive(std::optional<int> temperatureC, std::optional<int> level, bool automatic);

    int SelectedPoint() const { return selected_; }
    void SelectPoint(int index);
    // Where a point is drawn, in the plot's own coordinates.
    QPoint PointPosition(int index) const;
    // The temperatures across the plot now.
    int FirstShownC() const;
    int LastShownC() const;
    QRect Area() const;

signals:
    // A drag moved a point.
    void pointDragged(int index);
    void pointSelected(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    double X(double temperatureC) const;
    double Y(double level) const;
    int TemperatureAtX(double x) const;
    int LevelAtY(double y) const;
    int PointNear(QPoint at) const;

    QVector<FanCurvePlotPoint> points_;
    bool autoBelow_ = false;
    int highestLevel_ = 100;
    QString unit_ = QStringLiteral("%");
    int lowestC_ = 0;
    int highestC_ = 120;
    std::optional<int> liveC_;
    std::optional<int> liveLevel_;
    bool liveAutomatic_ = false;
    int selected_ = -1;
    int dragged_ = -1;
    // Where in the dragged point the press took it: the point keeps that offset to the pointer.
    QPoint grabOffset_;
};
