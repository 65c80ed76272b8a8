#include "ui/controls/CHistoryPlot.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace pyx {

namespace {

constexpr int kMargin = 8;
constexpr int kHeaderHeight = 16;
constexpr int kAxisWidth = 44;
constexpr int kTimeAxisHeight = 16;

struct SeriesLook {
    CHistoryPlot::Series series;
    const char* name;
    const char* unit;
    QColor colour;
};

// The readout white's neighbours in the skin: cyan for clocks, amber for heat, violet for the fan.
const SeriesLook kLooks[] = {
    {CHistoryPlot::Series::GraphicsClock, QT_TRANSLATE_NOOP("pyx::CHistoryPlot", "Graphics clock"), "MHz", QColor(0x2f, 0xc3, 0xf3)},
    {CHistoryPlot::Series::MemoryClock, QT_TRANSLATE_NOOP("pyx::CHistoryPlot", "Memory clock"), "MHz", QColor(0x5f, 0xd4, 0xc0)},
    {CHistoryPlot::Series::Temperature, QT_TRANSLATE_NOOP("pyx::CHistoryPlot", "Temperature"), "C", QColor(0xf2, 0xa6, 0x37)},
    {CHistoryPlot::Series::Fan, QT_TRANSLATE_NOOP("pyx::CHistoryPlot", "Fan"), "%", QColor(0x8b, 0x7c, 0xff)},
    {CHistoryPlot::Series::Load, QT_TRANSLATE_NOOP("pyx::CHistoryPlot", "Load"), "%", QColor(0x7c, 0xd9, 0x5a)},
    {CHistoryPlot::Series::PowerDraw, QT_TRANSLATE_NOOP("pyx::CHistoryPlot", "Power draw"), "W", QColor(0xf2, 0x63, 0x63)},
};

const SeriesLook& LookOf(CHistoryPlot::Series series) {
    return *std::find_if(std::begin(kLooks), std::end(kLooks), [&](const SeriesLook& l) { return l.series == series; });
}

// A sample's value in a series, in the unit the graph shows; none where the card gave none.
std::optional<double> ValueOf(const HistorySample& s, CHistoryPlot::Series series) {
    const auto as = [](const auto& v) { return v ? std::optional<double>(static_cast<double>(*v)) : std::nullopt; };
    switch (series) {
        case CHistoryPlot::Series::GraphicsClock: return as(s.graphicsClockMHz);
        case CHistoryPlot::Series::MemoryClock: return as(s.memoryClockMHz);
        case CHistoryPlot::Series::Temperature: return as(s.temperatureC);
        case CHistoryPlot::Series::Fan: return s.fanPercent ? as(s.fanPercent) : as(s.fanRpm);
        case CHistoryPlot::Series::Load: return as(s.loadPercent);
        case CHistoryPlot::Series::PowerDraw:
            return s.powerDrawMilliwatts ? std::optional<double>(*s.powerDrawMilliwatts / 1000.0) : std::nullopt;
    }
    return std::nullopt;
}

// The limit in force drawn across a graph: the thermal limit over the temperature.
std::optional<double> LimitOf(const HistorySample& s, CHistoryPlot::Series series) {
    if (series == CHistoryPlot::Series::Temperature && s.thermalLimitC) return static_cast<double>(*s.thermalLimitC);
    return std::nullopt;
}

QString UnitOf(const std::vector<HistorySample>& samples, CHistoryPlot::Series series) {
    if (series == CHistoryPlot::Series::Fan)
        for (auto it = samples.rbegin(); it != samples.rend(); ++it)
            if (it->fanPercent || it->fanRpm) return it->fanPercent ? QStringLiteral("%") : QStringLiteral("RPM");
    return QString::fromLatin1(LookOf(series).unit);
}

}  // namespace

CHistoryPlot::CHistoryPlot(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setMinimumSize(360, 320);
}

void CHistoryPlot::SetSamples(std::vector<HistorySample> samples, int64_t endMs, int64_t spanMs) {
    samples_ = std::move(samples);
    endMs_ = endMs;
    spanMs_ = std::max<int64_t>(spanMs, 1000);
    update();
}

std::vector<CHistoryPlot::Series> CHistoryPlot::ShownSeries() const {
    std::vector<Series> shown = {Series::GraphicsClock, Series::MemoryClock, Series::Temperature, Series::Fan, Series::Load};
    if (std::any_of(samples_.begin(), samples_.end(), [](const HistorySample& s) { return s.powerDrawMilliwatts.has_value(); }))
        shown.push_back(Series::PowerDraw);
    return shown;
}

QRectF CHistoryPlot::GraphRect(int index, int count) const {
    const double top = kMargin;
    const double usable = height() - 2.0 * kMargin - kTimeAxisHeight;
    const double each = usable / std::max(count, 1);
    return QRectF(kMargin + kAxisWidth, top + each * index + kHeaderHeight, width() - 2.0 * kMargin - kAxisWidth,
                  std::max(each - kHeaderHeight - 4.0, 8.0));
}

double CHistoryPlot::XOf(int64_t timeMs, const QRectF& graph) const {
    return graph.right() - graph.width() * static_cast<double>(endMs_ - timeMs) / static_cast<double>(spanMs_);
}

std::optional<HistorySample> CHistoryPlot::SampleAtCursor() const {
    if (samples_.empty()) return std::nullopt;
    const int64_t at = cursorMs_.value_or(samples_.back().timeMs);
    const auto nearest = std::min_element(samples_.begin(), samples_.end(), [at](const auto& a, const auto& b) {
        return std::llabs(a.timeMs - at) < std::llabs(b.timeMs - at);
    });
    return *nearest;
}

QString CHistoryPlot::HeaderText(Series series) const {
    QString text = tr(LookOf(series).name);
    const std::optional<HistorySample> sample = SampleAtCursor();
    const std::optional<double> value = sample ? ValueOf(*sample, series) : std::nullopt;
    text += QStringLiteral("  ") + (value ? QString::number(*value, 'f', series == Series::PowerDraw ? 1 : 0) : QStringLiteral("-"));
    text += QLatin1Char(' ') + UnitOf(samples_, series);
    if (const std::optional<double> limit = sample ? LimitOf(*sample, series) : std::nullopt)
        text += QStringLiteral("  (") + tr("limit") + QLatin1Char(' ') + QString::number(*limit, 'f', 0) + QStringLiteral(")");
    return text;
}

void CHistoryPlot::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0x17, 0x1c, 0x27));
    painter.setRenderHint(QPainter::Antialiasing, true);
    const std::vector<Series> shown = ShownSeries();
    const int count = static_cast<int>(shown.size());
    const QColor text(0xe4, 0xe9, 0xf2);
    const QColor dim(0x6b, 0x73, 0x85);
    for (int i = 0; i < count; ++i) {
        const Series series = shown[static_cast<size_t>(i)];
        const SeriesLook& look = LookOf(series);
        const QRectF graph = GraphRect(i, count);
        painter.setPen(QColor(0x3a, 0x45, 0x60));
        painter.setBrush(QColor(0x1f, 0x26, 0x36));
        painter.drawRect(graph);
        painter.setPen(text);
        painter.drawText(QRectF(graph.left(), graph.top() - kHeaderHeight, graph.width(), kHeaderHeight),
                         Qt::AlignLeft | Qt::AlignVCenter, HeaderText(series));

        // The range: the values in view and the limit, with a little room above and below.
        double low = 0, high = 1;
        bool any = false;
        for (const HistorySample& s : samples_) {
            if (s.timeMs < endMs_ - spanMs_) continue;
            for (const std::optional<double> v : {ValueOf(s, series), LimitOf(s, series)}) {
                if (!v) continue;
                low = any ? std::min(low, *v) : *v;
                high = any ? std::max(high, *v) : *v;
                any = true;
            }
        }
        if (series != Series::Temperature) low = std::min(low, 0.0);
        if (high - low < 1) high = low + 1;
        const double pad = (high - low) * 0.08;
        low -= series == Series::Temperature ? pad : 0;
        high += pad;
        const auto yOf = [&](double v) { return graph.bottom() - graph.height() * (v - low) / (high - low); };
        painter.setPen(dim);
        painter.drawText(QRectF(kMargin, graph.top() - 6, kAxisWidth - 4, 12), Qt::AlignRight | Qt::AlignVCenter,
                         QString::number(high, 'f', 0));
        painter.drawText(QRectF(kMargin, graph.bottom() - 6, kAxisWidth - 4, 12), Qt::AlignRight | Qt::AlignVCenter,
                         QString::number(low, 'f', 0));

        // One line per run of samples: a gap in the history (a lost reading) is a gap in the line.
        QPainterPath line, limit;
        bool lineOpen = false, limitOpen = false;
        int64_t previousMs = 0;
        for (const HistorySample& s : samples_) {
            if (s.timeMs < endMs_ - spanMs_) continue;
            const double x = XOf(s.timeMs, graph);
            const bool gap = s.timeMs - previousMs > 3000;
            previousMs = s.timeMs;
            if (const std::optional<double> v = ValueOf(s, series)) {
                if (lineOpen && !gap) line.lineTo(x, yOf(*v)); else line.moveTo(x, yOf(*v));
                lineOpen = true;
            } else {
                lineOpen = false;
            }
            if (const std::optional<double> v = LimitOf(s, series)) {
                if (limitOpen && !gap) limit.lineTo(x, yOf(*v)); else limit.moveTo(x, yOf(*v));
                limitOpen = true;
            } else {
                limitOpen = false;
            }
        }
        painter.save();
        painter.setClipRect(graph);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(QColor(0xf2, 0x63, 0x63), 1, Qt::DashLine));
        painter.drawPath(limit);
        painter.setPen(QPen(look.colour, 1.6));
        painter.drawPath(line);
        if (cursorMs_) {
            painter.setPen(QPen(text, 1, Qt::DotLine));
            const double x = XOf(*cursorMs_, graph);
            painter.drawLine(QPointF(x, graph.top()), QPointF(x, graph.bottom()));
        }
        painter.restore();
    }
    // The time axis: how long ago, under the last graph.
    const QRectF last = GraphRect(count - 1, count);
    painter.setPen(dim);
    const int64_t spanS = spanMs_ / 1000;
    for (int k = 0; k <= 4; ++k) {
        const double x = last.left() + last.width() * k / 4.0;
        const int64_t agoS = spanS - spanS * k / 4;
        const QString label = agoS == 0 ? tr("now") : agoS >= 120 ? tr("-%1 min").arg(agoS / 60) : tr("-%1 s").arg(agoS);
        // The ends' labels stay inside the widget: "now" ends at the right edge.
        const QRectF place = k == 4 ? QRectF(x - 80, last.bottom() + 2, 80, kTimeAxisHeight)
                                    : QRectF(x - 40, last.bottom() + 2, 80, kTimeAxisHeight);
        painter.drawText(place, (k == 4 ? Qt::AlignRight : Qt::AlignHCenter) | Qt::AlignTop, label);
    }
}

void CHistoryPlot::mouseMoveEvent(QMouseEvent* event) {
    const QRectF graph = GraphRect(0, 1);
    const double x = event->position().x();
    if (x < graph.left() || x > graph.right()) {
        cursorMs_.reset();
    } else {
        cursorMs_ = endMs_ - static_cast<int64_t>(std::llround((graph.right() - x) / graph.width() * static_cast<double>(spanMs_)));
    }
    update();
}

void CHistoryPlot::leaveEvent(QEvent*) {
    cursorMs_.reset();
    update();
}

}  // namespace pyx
