#pragma once
#include <array>
#include <string>
#include <cstdint>

#include <QColor>

#include "app/ServiceClient.h"
#include "app/TuningController.h"
#include "gpu/GpuBoard.h"
#include "led/LedBoardState.h"
#include "ui/main/LedPageWindow.h"

namespace pyx {

// The lighting half of the main window: colour swatches and picker, the three effect-mode
// groups, the six target buttons with their panels, the lighting apply, the loaded choices,
// and the lighting half of Reset. Choosing only changes the page; the card hears of it on
// Apply, Reset and GPU selection.
class LedPageCommands {
public:
    // ledTarget of target buttons 160..165.
    static constexpr std::array<LedTarget, 6> kTargetValues = {LedTarget::Basic,    LedTarget::Zone58,
                                                               LedTarget::Zone46,   LedTarget::ZoneGroup,
                                                               LedTarget::EffectAC, LedTarget::EffectGroup};
    // LEDMODE of basic-effect buttons 121..126.
    static constexpr std::array<uint32_t, 6> kBasicModes = {0, 1, 2, 3, 4, 6};

    explicit LedPageCommands(LedPageWindow window) : window_(window) {}

    void OnPalette();
    void OnSwatch(int k);       // 0..7
    // The user moved a colour slider (a program's move of it is no choice of the user's).
    void OnColourSliderMoved();
    void OnBasicEffect(int k);  // 0..5
    void OnZoneMode(int k);     // 0..4
    void OnEffectMode(int k);   // 0..10
    void OnTarget(int k);       // 0..5

    // The panel of target button k: its skin and which mode buttons show.
    void ShowPanel(int k);
    // The lighting controls, and each target button by what the GPU's probes found; off,
    // the page is covered by a line saying the card has no lighting controller.
    void EnableLedPage(bool on);
    // The colour of the three sliders, which the preview square shows.
    QColor ShownColour() const;

    // Captures the page (Apply's path) or not, and drives every GPU's lighting.
    void ApplyLighting(bool applyButton, bool restoringLed);
    // The loaded lighting choices onto the page, in the order a click would give them.
    void ShowLoadedLighting(const LoadedLighting& loaded);
    // First start without settings: GPU 0's controller tells what it shows; the page follows.
    void ShowCardLighting();

    // GPU selection: the first controller that answers decides the skin and the target.
    void OnGpuSelected(int gpu);
    // Reset's lighting half: every GPU's effect or zone controllers, then the basic controllers
    // where the GPU shown has one. Returns one line per GPU naming the writes its controllers
    // refused; empty when all were taken.
    std::string ResetLighting();

    // The kind of the first controller that answers on a GPU: from the start-up probes, and
    // from the probe of each later selection. Reset and the read-back go by it, as the
    // start-up probe keeps only the basic controller's class in ledKind.
    LedKind ProbedKind(int gpu) const;
    void RecordStartupKinds();

private:
    // Each GPU's effect or zone controllers back to their defaults by kind.
    std::string ResetLeds();
    void BasicLedReset();
    void SetTrackbars(int r, int g, int b);
    void SelectInGroup(int firstId, int count, int chosen) { window_.Controls().SelectInGroup(firstId, count, chosen); }
    // The colour trackbars and timer boxes into the lighting page.
    void CaptureLedPageControls();
    // The page's choice for every GPU, lit by the service.
    void LightThroughService(ServiceClient& service);

    LedPageWindow window_;
    std::array<LedKind, kMaxGpus> probedKinds_{};
};

}  // namespace pyx
