// The Monitor view follows the GPU and span the user picks, holds still while paused, costs
// nothing while hidden, and tells the values under the pointer.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>
#include <QTest>

#include <optional>
#include <vector>

#include "ui/controls/CHistoryPlot.h"
#include "ui/dialogs/CHistoryDlg.h"

using namespace pyx;

namespace {

constexpr int64_t kNowMs = 1'700'000'000'000;

// Two GPUs over the last two hours, a sample a second: GPU 0 at 50 C, GPU 1 at 70 C, with a
// power draw only on GPU 1.
struct FakeHistory {
    std::vector<int64_t> asked;  // the sinceMs of each question
    std::vector<HistorySample> Since(int64_t sinceMs, int gpu) {
        asked.push_back(sinceMs);
        std::vector<HistorySample> samples;
        for (int64_t t = std::max(sinceMs, kNowMs - 7200 * 1000); t <= kNowMs; t += 1000) {
            HistorySample s;
            s.timeMs = t;
            s.gpu = gpu;
            s.temperatureC = gpu == 0 ? 50 : 70;
            s.thermalLimitC = 83;
            s.graphicsClockMHz = 1500;
            s.fanPercent = 40;
            if (gpu == 1) s.powerDrawMilliwatts = 180500;
            samples.push_back(s);
        }
        return samples;
    }
};

}  // namespace

TEST(DialogHistory, FollowsTheGpuAndSpanChosenAndHoldsStillWhenPaused) {
    FakeHistory history;
    CHistoryDlg view(2, 0, [&](int64_t since, int gpu) { return history.Since(since, gpu); }, nullptr, [] { return kNowMs; });
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    EXPECT_TRUE(view.Following()) << "shown, it reads once a second";
    EXPECT_EQ(history.asked.back(), kNowMs - 60 * 1000) << "the last minute first";
    EXPECT_TRUE(view.Plot()->HeaderText(CHistoryPlot::Series::Temperature).contains("50 C"));
    EXPECT_EQ(view.Plot()->ShownSeries().size(), 5u) << "no power draw on GPU 0";

    struct Step { const char* what; std::function<void()> act; int gpu; int64_t spanMin; const char* temperature; };
    const Step steps[] = {
        {"the next GPU by the keyboard", [&] { QTest::keyClick(view.GpuBox(), Qt::Key_Down); }, 1, 1, "70 C"},
        {"the 15-minute span", [&] { view.SpanBox()->setFocus(); QTest::keyClick(view.SpanBox(), Qt::Key_Down);
                                     QTest::keyClick(view.SpanBox(), Qt::Key_Down); }, 1, 15, "70 C"},
        {"the hour", [&] { QTest::keyClick(view.SpanBox(), Qt::Key_End); }, 1, 60, "70 C"},
        {"back to GPU 0", [&] { QTest::keyClick(view.GpuBox(), Qt::Key_Up); }, 0, 60, "50 C"},
    };
    for (const Step& step : steps) {
        step.act();
        EXPECT_EQ(view.Gpu(), step.gpu) << step.what;
        EXPECT_EQ(history.asked.back(), kNowMs - step.spanMin * 60 * 1000) << step.what;
        EXPECT_TRUE(view.Plot()->HeaderText(CHistoryPlot::Series::Temperature).contains(step.temperature)) << step.what;
        EXPECT_TRUE(view.Plot()->HeaderText(CHistoryPlot::Series::Temperature).contains("limit 83")) << step.what;
    }
    view.SelectGpu(1);
    EXPECT_EQ(view.Plot()->ShownSeries().back(), CHistoryPlot::Series::PowerDraw);
    EXPECT_TRUE(view.Plot()->HeaderText(CHistoryPlot::Series::PowerDraw).contains("180.5 W"));

    // Paused, nothing is read and the graphs keep what they show; resumed, they catch up at once.
    QTest::mouseClick(view.PauseButton(), Qt::LeftButton);
    EXPECT_TRUE(view.Paused());
    EXPECT_FALSE(view.Following());
    const size_t asked = history.asked.size();
    view.Refresh();
    QTest::keyClick(view.GpuBox(), Qt::Key_Up);
    EXPECT_EQ(history.asked.size(), asked);
    EXPECT_TRUE(view.Plot()->HeaderText(CHistoryPlot::Series::Temperature).contains("70 C"));
    QTest::mouseClick(view.PauseButton(), Qt::LeftButton);
    EXPECT_EQ(history.asked.size(), asked + 1);
    EXPECT_TRUE(view.Following());

    view.hide();
    EXPECT_FALSE(view.Following()) << "hidden, it reads nothing";
}

TEST(DialogHistory, ThePointerShowsTheValuesAtItsTime) {
    FakeHistory history;
    CHistoryDlg view(1, 0, [&](int64_t since, int) {
        std::vector<HistorySample> samples = history.Since(since, 0);
        for (HistorySample& s : samples) s.temperatureC = static_cast<int32_t>(40 + (kNowMs - s.timeMs) / 1000);
        return samples;
    }, nullptr, [] { return kNowMs; });
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    CHistoryPlot& plot = *view.Plot();
    EXPECT_TRUE(plot.HeaderText(CHistoryPlot::Series::Temperature).contains("40 C")) << "the latest, without a pointer";
    // Half way along the minute: 30 s ago, when the card was 30 C warmer than now.
    const int left = 8 + 44, right = plot.width() - 8;
    QTest::mouseMove(&plot, QPoint((left + right) / 2, plot.height() / 3));
    ASSERT_TRUE(plot.CursorMs());
    EXPECT_NEAR(static_cast<double>(kNowMs - *plot.CursorMs()), 30000.0, 1500.0);
    const std::optional<HistorySample> at = plot.SampleAtCursor();
    ASSERT_TRUE(at);
    EXPECT_TRUE(plot.HeaderText(CHistoryPlot::Series::Temperature).contains(QString::number(*at->temperatureC) + " C"));
    EXPECT_NEAR(*at->temperatureC, 70, 2);
}
