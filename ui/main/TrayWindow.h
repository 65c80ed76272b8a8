#pragma once

namespace pyx {

// What the notification-area icon asks of the window it stands for.
class TrayWindow {
public:
    virtual ~TrayWindow() = default;

    // Whether the cards are the simulator's: the icon's tooltip says so.
    virtual bool IsSimulated() const = 0;
    // Shown normally and in front; with onlyWhenHidden, a window on screen is left as it is.
    virtual void ShowFromTray(bool onlyWhenHidden) = 0;
    // Ends the program at once, without saving.
    virtual void QuitNow() = 0;
    // The Monitor view: graphs of what the cards did over the last hour.
    virtual void ShowMonitor() = 0;
};

}  // namespace pyx
