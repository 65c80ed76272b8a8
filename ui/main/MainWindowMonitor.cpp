#include "ui/main/MainWindowMonitor.h"

#include <QWidget>

#include "app/MonitorReadouts.h"
#include "app/TuningRanges.h"
#include "ui/controls/CMPStatic.h"
#include "ui/main/MainWindowControls.h"
#include "ui/main/MainWindowSkin.h"
#include "ui/main/MainWindowSliders.h"

namespace pyx {

namespace {
// The basic controller's GPU-load effect: its colour follows the load the timer reads.
constexpr int32_t kLedModeGpuLoad = 6;
}  // namespace

MainWindowMonitor::MainWindowMonitor(MonitorWindow window) : w_(window) {
    timer_.setInterval(1000);
    QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { OnTimer(); });
}

void MainWindowMonitor::ReadMonitors() {
    const MonitorReadings r = w_.read(w_.page.selectedGpu);
    if (!r.read) return;
    w_.controls.Label(kIdHiddenLabel)->SetText(QStringLiteral("0"));
    w_.controls.Label(kIdMemClockLabel)->SetText(QString::fromStdString(r.memoryText));
    w_.controls.Label(kIdGpuClockLabel)->SetText(QString::fromStdString(r.graphicsText));
    w_.controls.Label(kIdTemperatureLabel)->SetText(QString::fromStdString(r.temperatureText));
    w_.controls.Label(kIdFanLabel)->SetText(QString::fromStdString(r.fanText));
    if (r.gpuLoad) w_.engine.SetGpuLoad(*r.gpuLoad);
}

bool MainWindowMonitor::LightingFollowsLoad() const {
    return w_.engine.Running(LedEffectFamily::Basic) && w_.engine.BasicArgs().mode.load() == kLedModeGpuLoad;
}

namespace {
std::optional<FanCurve> CurveOf(const AppState& state, int gpu) {
    if (gpu < 0 || gpu >= kMaxGpus) return std::nullopt;
    return state.fanCurves[static_cast<size_t>(gpu)];
}
}  // namespace

void MainWindowMonitor::WatchCurves() {
    const int shown = w_.page.selectedGpu;
    const std::optional<FanCurve> before = CurveOf(w_.state, shown);
    bool reread = false;
    for (const FanCurveStop& stop : w_.curves.Tick()) {
        // The slider still shows the curve the card no longer runs: an unchanged Apply would
        // start it again.
        if (stop.gpu == shown) {
            ReadFanSlider(w_.boards, stop.gpu, w_.page);
            reread = true;
        }
        if (w_.warn) w_.warn(QString::fromStdString(DescribeCurveStop(stop)));
    }
    // Ended by itself, or without a word because another rule took its fan back: the page no
    // longer shows it as the fan's. A curve drawn since and not applied stays.
    if (before && !CurveOf(w_.state, shown) && w_.page.fanCurve == before) {
        w_.page.fanCurve.reset();
        reread = true;
    }
    if (reread) w_.sliders.PageToSliders();
}

void MainWindowMonitor::WatchFans() {
    for (const FanHandBack& handBack : w_.fans.Tick()) {
        // The slider still shows the level the card no longer runs at: an unchanged Apply
        // would fix the fan there again.
        if (handBack.gpu == w_.page.selectedGpu) {
            ReadFanSlider(w_.boards, handBack.gpu, w_.page);
            w_.sliders.PageToSliders();
        }
        if (w_.warn) w_.warn(QString::fromStdString(DescribeHandBack(handBack)));
    }
}

void MainWindowMonitor::OnTimer() {
    // A fixed fan matters most when nobody is looking at the window. The curves first: a level
    // one sends this tick is one the fans' watch sees.
    WatchCurves();
    WatchFans();
    if (w_.keepHistory) w_.keepHistory();
    // Out of sight nothing is drawn; only the lighting's load mode still needs the card read.
    if (!w_.window.isVisible() || w_.window.isMinimized()) {
        if (LightingFollowsLoad()) ReadMonitors();
        return;
    }
    ReadMonitors();
    if (w_.window.isActiveWindow()) return;
    const MainWindowFlags& flags = w_.flags;
    // The panel's own skin: the lighting target chosen last decides it (see LedPageCommands).
    if (!flags.profileDialogOpen && !flags.settingsDialogOpen && flags.mainWindowShown) w_.skin.Apply(w_.skin.Id());
    w_.sliders.ReclampSliders();
}

}  // namespace pyx
