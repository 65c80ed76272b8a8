#pragma once
#include "app/StartMode.h"

namespace pyx {

class CVornDlg;

// The two modal dialogs the window's pills open, with the window's flags held set while they
// run so that the timer leaves the skin alone.
class MainWindowDialogs {
public:
    explicit MainWindowDialogs(CVornDlg& window) : window_(window) {}

    // The profile dialog; a loaded profile refreshes the window.
    void RunProfileDialog();
    // The settings dialog (start at log-on, the LED service). Needs the system seams.
    void RunSettingsDialog();

private:
    CVornDlg& window_;
    // The start mode as the settings dialog last read or chose it.
    StartMode startMode_ = StartMode::Unset;
};

}  // namespace pyx
