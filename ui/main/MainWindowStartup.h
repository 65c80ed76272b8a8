#pragma once
#include "ui/main/StartupWindow.h"

namespace pyx {

// The main window's start-up, in its twelve steps: service scripts, window menu and icons,
// skin, tray icon and controls, the colour controls, the settings load, the lighting probes,
// the slider ranges, the boost-clock check (which may end the program), the loaded settings or
// the card's own lighting, the notification-area start, and the one-second timer.
class MainWindowStartup {
public:
    explicit MainWindowStartup(StartupWindow window) : w_(std::move(window)) {}

    // False when the card was refused: the message was shown and the program is ending.
    bool Run();

private:
    bool CheckCard();
    void ShowDefaults();

    StartupWindow w_;
};

}  // namespace pyx
