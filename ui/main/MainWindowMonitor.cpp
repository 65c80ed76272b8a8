#include "ui/main/MainWindowMonitor.h"

#include "app/MonitorReadouts.h"
#include "ui/controls/CMPStatic.h"
#include "ui/main/CVornDlg.h"

namespace pyx {

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

void MainWindowMonitor::OnTimer() {
    ReadMonitors();
    if (window_.isActiveWindow()) return;
    const MainWindowFlags& flags = window_.Flags();
    // The panel's own skin: the lighting target chosen last decides it (see LedPageCommands).
    if (!flags.profileDialogOpen && !flags.settingsDialogOpen && flags.mainWindowShown)
        window_.ApplySkin(window_.SkinId());
    window_.ReclampSliders();
}

}  // namespace pyx
