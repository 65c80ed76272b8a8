#pragma once

namespace pyx {

// The flags the window, its timer and its dialogs share.
struct MainWindowFlags {
    bool mainWindowShown = true;
    bool profileDialogOpen = false;
    bool settingsDialogOpen = false;
    // A start-up refusal asked the program to end.
    bool quitRequested = false;
};

}  // namespace pyx
