#pragma once
#include <functional>

#include <QString>

#include "app/AppCore.h"
#include "app/TuningPage.h"
#include "led/LedEffectEngine.h"
#include "led/LedPageState.h"
#include "ui/main/MainWindowFlags.h"
#include "ui/main/UserPrompts.h"

namespace pyx {

class LedPageCommands;
class MainWindowClicks;
class MainWindowCommands;
class MainWindowControls;
class MainWindowMonitor;
class MainWindowSliders;

// The main window as its start-up sees it: the start-up builds the window and then fills
// every part of it, so it gets each part by name rather than the window.
struct StartupWindow {
    AppCore& core;
    LedEffectEngine& engine;
    UserPrompts& prompts;
    TuningPage& page;
    LedPageState& ledPage;
    MainWindowFlags& flags;
    MainWindowControls& controls;
    const MainWindowClicks& clicks;
    MainWindowSliders& sliders;
    LedPageCommands& led;
    MainWindowCommands& commands;
    MainWindowMonitor& monitor;
    // The window's icon and menu, the first skin, the notification-area icon and the controls.
    std::function<void()> build;
    // A refusal: the program is to end.
    std::function<void()> endProgram;
    // What the cards refused of the stored settings: the user is told, without waiting.
    std::function<void(const QString& text)> warn;
};

}  // namespace pyx
