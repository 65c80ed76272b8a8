#pragma once
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <vector>

#include "app/HistorySample.h"

class QComboBox;
class QPushButton;

namespace pyx {

class CHistoryPlot;

// The "Monitor" view: one GPU's history over the last 1, 5, 15 or 60 minutes, as stacked
// graphs that follow the card once a second while the view is shown (and cost nothing while
// it is not), with pause and resume. The history comes from whoever keeps it (the window's own
// process, or the service).
class CHistoryDlg : public QWidget {
    Q_OBJECT

public:
    // The samples of one GPU from sinceMs (wall-clock milliseconds) on, in time order.
    using Source = std::function<std::vector<HistorySample>(int64_t sinceMs, int gpu)>;
    using Clock = std::function<int64_t()>;  // wall-clock milliseconds now
    static constexpr int kSpanMinutes[] = {1, 5, 15, 60};

    CHistoryDlg(int gpuCount, int gpu, Source source, QWidget* owner, Clock now = {});

    void SelectGpu(int gpu);
    int Gpu() const;
    int64_t SpanMs() const;
    bool Paused() const { return paused_; }
    bool Following() const { return timer_.isActive(); }
    // Reads the history again and redraws; nothing while paused.
    void Refresh();

    QComboBox* GpuBox() const { return gpuBox_; }
    QComboBox* SpanBox() const { return spanBox_; }
    QPushButton* PauseButton() const { return pause_; }
    CHistoryPlot* Plot() const { return plot_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void SetPaused(bool paused);

    Source source_;
    Clock now_;
    QComboBox* gpuBox_ = nullptr;
    QComboBox* spanBox_ = nullptr;
    QPushButton* pause_ = nullptr;
    CHistoryPlot* plot_ = nullptr;
    bool paused_ = false;
    QTimer timer_;
};

}  // namespace pyx
