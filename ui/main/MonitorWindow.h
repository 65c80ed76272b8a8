#pragma once
#include <functional>

#include <QString>

#include "app/AppState.h"
#include "app/FanCurveEngine.h"
#include "app/FanSafety.h"
#include "app/MonitorReadouts.h"
#include "app/TuningPage.h"
#include "gpu/GpuBoardTable.h"
#include "led/LedEffectEngine.h"
#include "ui/main/MainWindowFlags.h"

class QWidget;

namespace pyx {

class MainWindowControls;
class MainWindowSkin;
class MainWindowSliders;

// The main window as its one-second timer sees it: whether it is in sight and in front, the
// GPU shown, the shared flags, the readout labels, the skin and sliders it puts right, the
// effect engine that follows the load, the fan curves and the watch over the fans with the way
// their warnings reach the user.
struct MonitorWindow {
    const QWidget& window;
    GpuBoardTable& boards;
    TuningPage& page;  // the fan slider follows a fan handed back
    const MainWindowFlags& flags;
    MainWindowControls& controls;
    MainWindowSkin& skin;
    MainWindowSliders& sliders;
    LedEffectEngine& engine;
    FanSafety& fans;
    // Ticked before the fans' watch; a curve that ends is told as a hand-back is.
    FanCurveEngine& curves;
    const AppState& state;  // the curves each GPU's fan runs
    // One GPU's readouts, from the cards or from the service that owns them.
    std::function<MonitorReadings(int gpu)> read;
    // One sample of every GPU for the Monitor view's history, once a second, shown or hidden.
    std::function<void()> keepHistory;
    // A fan was handed back to its card: the user is told, without waiting for an answer.
    std::function<void(const QString& text)> warn;
};

}  // namespace pyx
