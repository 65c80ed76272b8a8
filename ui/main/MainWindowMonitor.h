#pragma once
#include <QTimer>

#include "ui/main/MonitorWindow.h"

namespace pyx {

// Timer event 2, once a second: the fan curves, the watch over the fans this run fixed, the selected GPU's
// readouts and load, and while the window is in the background, its skin and the sliders'
// ranges put right again. Hidden or minimised, the timer still runs the curves, keeps the fans' watch and reads
// the card only for a lighting effect that follows its load.
class MainWindowMonitor {
public:
    explicit MainWindowMonitor(MonitorWindow window);

    // The one-second timer; the start-up's last step starts it.
    QTimer& Timer() { return timer_; }
    void OnTimer();
    // The readouts alone.
    void ReadMonitors();
    // One tick of the fan curves; every curve that ended by itself is told.
    void WatchCurves();
    // One tick of the fans' watch; every fan it handed back is told.
    void WatchFans();
    bool LightingFollowsLoad() const;

private:
    MonitorWindow w_;
    QTimer timer_;
};

}  // namespace pyx
