#pragma once

class QObject;

namespace pyx {

class MainWindowControls;

// The clicks the window makes on its own controls. A sent click is handled before Send
// returns, as a press and release delivered at once; a posted one waits behind what is
// already queued, so it runs after the handler that posted it has returned. Every such click
// goes through here, to the window's own dispatcher, exactly as a user's click arrives.
class MainWindowClicks {
public:
    MainWindowClicks(QObject& window, const MainWindowControls& controls) : window_(window), controls_(controls) {}

    void Send(int id) const;
    void Post(int id) const;

private:
    QObject& window_;
    const MainWindowControls& controls_;
};

}  // namespace pyx
