#pragma once
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
// GPU shown, the shared flags, the readout labels, the skin and sliders it puts right, and the
// effect engine that follows the load.
struct MonitorWindow {
    const QWidget& window;
    GpuBoardTable& boards;
    const TuningPage& page;
    const MainWindowFlags& flags;
    MainWindowControls& controls;
    MainWindowSkin& skin;
    MainWindowSliders& sliders;
    LedEffectEngine& engine;
};

}  // namespace pyx
