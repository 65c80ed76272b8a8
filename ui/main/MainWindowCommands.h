#pragma once
#include <cstdint>
#include <filesystem>
#include <string>

#include "app/ServiceChanges.h"
#include "app/ServiceClient.h"
#include "app/TuningRevert.h"
#include "app/TuningController.h"
#include "ui/main/CommandWindow.h"

class QWidget;

namespace pyx {

// The main window's command dispatcher. A click arrives with the control that sent it; the
// control is looked up in a fixed order and the first match runs. A command without a
// control (Enter, context help) is swallowed, so nothing closes the window by accident.
class MainWindowCommands {
public:
    explicit MainWindowCommands(CommandWindow window) : w_(std::move(window)) {}

    void OnCommand(QWidget* sender);

    void OnHide();
    void OnMinimise();
    void OnTuningMode(int mode);  // 1..3: a preset, the sliders covered
    void OnCustom();
    // The fan curve editor; a curve taken drives Custom's fan from the next Apply.
    void OnFanCurve();
    void OnNextGpu();
    void OnLink();
    void SelectGpu(int gpu);
    void OnApply();
    void OnReset();
    // After a settings load matched (start-up, profile load).
    void RefreshFromSettings();

    // The tuning rules, answering through the window's prompts and lighting.
    TuningController Controller();
    // After a change the user is asked to keep (an Apply, a loaded profile): result is what the
    // change said; kept, it is saved for the next start; else before is written back and the
    // mode goes back to modeBefore.
    void KeepOrRevert(const TuningRevert& before, uint8_t modeBefore, const std::string& result);
    // A change the user keeps: saved for the next start.
    void KeepApplied();
    // Where the service owns the cards: a chosen profile's values go there, and are kept as an
    // Apply's are.
    void LoadProfileThroughService(const std::filesystem::path& file);

private:
    // Mode 1..4, as its button's click would choose it.
    void SelectTuningMode(int mode);
    // Custom's sliders for the GPU shown: its VF sliders where it has a VF range, else its
    // clock sliders, each in the other's place.
    void ShowCustomSliders();
    TuningCallbacks Callbacks();
    // Apply and Reset where the service owns the cards: the same questions and answers, the
    // changes carried out there.
    void ApplyThroughService(ServiceClient& service);
    void ResetThroughService(ServiceClient& service);
    // The keep question for a change the service applied (kept: the user's answer); the problems
    // to show after it.
    std::string AnswerThroughService(ServiceChanges& changes, const ServiceChanges::Outcome& applied,
                                     const std::string& shown, bool& kept);
    // How long the service waits for the keep answer.
    int ServiceWaitS() const;
    // The page's sliders from what the shown GPU holds now, and the curve its fan follows.
    void ReadBackShownGpu();
    // The curve the shown GPU's fan follows, where this process runs it or the service does.
    void ShowShownGpusCurve();
    // A warning in the Apply's box, the timer kept off the skin meanwhile.
    void Warn(const std::string& text);
    // Runs a prompt with profileDialogOpen held set, so the timer leaves the skin alone.
    template <typename F>
    auto WithPromptOpen(F&& prompt);

    CommandWindow w_;
};

}  // namespace pyx
