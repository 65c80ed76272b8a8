#pragma once

namespace pyx {

class CVornDlg;

// Timer event 2, once a second: the selected GPU's readouts and load, and while the window
// is in the background, its skin and the sliders' ranges put right again. Hidden or
// minimised, the timer reads the card only for a lighting effect that follows its load.
class MainWindowMonitor {
public:
    explicit MainWindowMonitor(CVornDlg& window) : window_(window) {}

    void OnTimer();
    // The readouts alone.
    void ReadMonitors();
    bool LightingFollowsLoad() const;

private:
    CVornDlg& window_;
};

}  // namespace pyx
