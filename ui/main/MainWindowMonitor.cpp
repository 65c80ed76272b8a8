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
    const MonitorReadings r = pyx::ReadMonitors(w_.boards, w_.page.selectedGpu);
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
    // A fixed fan matters most when nobody is looking at the window.
    WatchFans();
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
