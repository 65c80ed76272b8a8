#pragma once
#include <QWidget>

#include <cstdint>
#include <optional>
#include <vector>

#include "app/HistorySample.h"

namespace pyx {

// One GPU's history as graphs stacked one above the other on a shared time axis: the clocks,
// the temperature with the thermal limit in force, the fan, the load and (where the card
// reports it) the power draw. The pointer over a graph shows every series' value at that time.
class CHistoryPlot : public QWidget {
    Q_OBJECT

public:
    // The graphs, top to bottom.
    enum class Series { GraphicsClock, MemoryClock, Temperature, Fan, Load, PowerDraw };

    explicit CHistoryPlot(QWidget* parent = nullptr);

    // The samples of one GPU in time order, shown over the span that ends at endMs.
    void SetSamples(std::vector<HistorySample> samples, int64_t endMs, int64_t spanMs);
    // The graphs shown now (the power draw only where some sample has one).
    std::vector<Series> ShownSeries() const;
    // The time under the pointer, none while the pointer is not over the graphs.
    std::optional<int64_t> CursorMs() const { return cursorMs_; }
    // The sample nearest to the time the pointer shows; none without one.
    std::optional<HistorySample> SampleAtCursor() const;
    // The text of one graph's header: its name and its value at the pointer, else the latest.
    QString HeaderText(Series series) const;

    QSize sizeHint() const override { return {560, 520}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QRectF GraphRect(int index, int count) const;
    double XOf(int64_t timeMs, const QRectF& graph) const;

    std::vector<HistorySample> samples_;
    int64_t endMs_ = 0;
    int64_t spanMs_ = 60 * 1000;
    std::optional<int64_t> cursorMs_;
};

}  // namespace pyx
