#include "ui/main/MainWindowMonitor.h"

#include "app/MonitorReadouts.h"
#include "led/LedEffectEngine.h"
#include "ui/controls/CMPStatic.h"
#include "ui/main/CVornDlg.h"

namespace pyx {

namespace {
// The basic controller's GPU-load effect: its colour follows the load the timer reads.
constexpr int32_t kLedModeGpuLoad = 6;
}  // namespace

void MainWindowMonitor::ReadMonitors() {
    const MonitorReadings r = pyx::ReadMonitors(window_.Boards(), window_.Page().selectedGpu);
    if (!r.read) return;
    window_.Label(kIdHiddenLabel)->SetText(QStringLiteral("0"));
    window_.Label(kIdMemClockLabel)->SetText(QString::fromStdString(r.memoryText));
    window_.Label(kIdGpuClockLabel)->SetText(QString::fromStdString(r.graphicsText));
    window_.Label(kIdTemperatureLabel)->SetText(QString::fromStdString(r.temperatureText));
    window_.Label(kIdFanLabel)->SetText(QString::fromStdString(r.fanText));
    if (r.gpuLoad) window_.Engine().SetGpuLoad(*r.gpuLoad);
}

bool MainWindowMonitor::LightingFollowsLoad() const {
    LedEffectEngine& engine = window_.Engine();
    return engine.Running(LedEffectFamily::Basic) && engine.BasicArgs().mode.load() == kLedModeGpuLoad;
}

void MainWindowMonitor::OnTimer() {
    // Out of sight nothing is drawn; only the lighting's load mode still needs the card read.
    if (!window_.isVisible() || window_.isMinimized()) {
        if (LightingFollowsLoad()) ReadMonitors();
        return;
    }
    ReadMonitors();
    if (window_.isActiveWindow()) return;
    const MainWindowFlags& flags = window_.Flags();
    // The panel's own skin: the lighting target chosen last decides it (see LedPageCommands).
    if (!flags.profileDialogOpen && !flags.settingsDialogOpen && flags.mainWindowShown)
        window_.ApplySkin(window_.SkinId());
    window_.ReclampSliders();
}

}  // namespace pyx
