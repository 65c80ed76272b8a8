#pragma once
#include "app/TuningController.h"

class QWidget;

namespace pyx {

class CVornDlg;

// The main window's command dispatcher. A click arrives with the control that sent it; the
// control is looked up in a fixed order and the first match runs. A command without a
// control (Enter, context help) is swallowed, so nothing closes the window by accident.
class MainWindowCommands {
public:
    explicit MainWindowCommands(CVornDlg& window) : window_(window) {}

    void OnCommand(QWidget* sender);

    void OnHide();
    void OnMinimise();
    void OnTuningMode(int mode);  // 1..3: a preset, the sliders covered
    void OnCustom();
    void OnNextGpu();
    void OnLink();
    void SelectGpu(int gpu);
    void OnApply();
    void OnReset();
    // After a settings load matched (start-up, profile load).
    void RefreshFromSettings();

    // The tuning rules, answering through the window's prompts and lighting.
    TuningController Controller();

private:
    // Custom's sliders for the GPU shown: its VF sliders where it has a VF range, else its
    // clock sliders, each in the other's place.
    void ShowCustomSliders();
    TuningCallbacks Callbacks();
    // Runs a prompt with profileDialogOpen held set, so the timer leaves the skin alone.
    template <typename F>
    auto WithPromptOpen(F&& prompt);

    CVornDlg& window_;
};

}  // namespace pyx
