#pragma once
#include <filesystem>
#include <functional>

#include "app/AppCore.h"
#include "led/LedEffectEngine.h"
#include "platform/LogonRunList.h"
#include "platform/ProcessLauncher.h"
#include "platform/ServiceControl.h"
#include "ui/main/UserPrompts.h"

namespace pyx {

class AppFonts;

// What the main window works with. Everything outlives the window.
struct MainWindowContext {
    MainWindowContext(AppCore& c, LedEffectEngine& e, UserPrompts& p, const AppFonts* f = nullptr)
        : core(c), engine(e), prompts(p), fonts(f) {}

    // Whether hiding can go to the notification area; without one the window is minimised
    // to the task bar instead, so that it can always be brought back.
    bool HasTray() const { return !trayAvailable || trayAvailable(); }

    AppCore& core;
    LedEffectEngine& engine;
    UserPrompts& prompts;
    const AppFonts* fonts = nullptr;  // null: Qt's default font everywhere
    // The seams the settings and LED service dialogs use; without them those buttons do nothing.
    ServiceControl* services = nullptr;
    ProcessLauncher* launcher = nullptr;
    LogonRunList* runList = nullptr;
    std::filesystem::path programFile;
    // Ends the process at once, without saving (the "Quit" of the tray and window menus).
    std::function<void()> quitNow;
    // Whether the desktop has a notification area to hide into now; unset: it has.
    std::function<bool()> trayAvailable;
};

}  // namespace pyx
