#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/AppState.h"
#include "app/TuningPage.h"
#include "app/TuningReport.h"
#include "gpu/GpuBoardTable.h"

namespace pyx {

// The overclocking warning: caption "PYXTUNE", OK and Cancel, warning icon.
inline constexpr char kOverclockWarningText[] =
    "警告：对显卡进行超频有可能会造成系统不稳、花屏、死机甚至硬件损坏，敬请慎重操作。";
inline constexpr char kOverclockWarningCaption[] = "PYXTUNE";
// The result of a finished apply that every card took whole: caption "Pyxtune", information
// icon. An apply the card refused in part shows DescribeRefusals instead, same caption.
inline constexpr char kAppliedText[] = "Hardware settings applied!";
inline constexpr char kAppliedCaption[] = "Pyxtune";

inline constexpr uint32_t kPerformancePowerPcm = 90000;
inline constexpr float kPerformanceThermalLimitC = 90.0f;

// What the lighting page is to show after a settings load, in the order the window sets it.
struct LoadedLighting {
    int basicEffectButton = -1;    // 0..5: the basic effect of LEDMODE 0,1,2,3,4,6; -1 none
    bool setColour = false;        // the colour trackbars take red, green, blue
    int red = 0;
    int green = 0;
    int blue = 0;
    int timerIndex[3] = {0, 0, 0}; // the three timer choices
    // Controller kind 1 or 2: start the basic effect; otherwise set the red trackbar once more.
    bool startBasicEffect = false;
    uint32_t gm1Mode = 0;          // 1..5: the zone mode to choose; 0 none
    uint32_t gm2Mode = 0;          // 1..11: the effect mode to choose; 0 none
};
LoadedLighting LoadedLightingFromSettings(const LedSettings& settings, LedKind ledControllerKind);

// What the controller asks of its owner. The window answers with message boxes (holding
// profileDialogOpen set while one is open) and its lighting code; the command-line tool with
// its own prompts. An unset callback is skipped, except confirmWarning: unset, the warning
// counts as refused and nothing is applied.
struct TuningCallbacks {
    // kOverclockWarningText / kOverclockWarningCaption; true only for OK.
    std::function<bool(const std::string& text, const std::string& caption)> confirmWarning;
    // kAppliedText, or what the cards refused (DescribeRefusals); kAppliedCaption.
    std::function<void(const std::string& text, const std::string& caption)> showResult;
    // Capture the lighting page and apply it to every GPU (Apply's lighting half).
    std::function<void()> applyLighting;
    // The page's slider values changed: redraw the sliders and their value labels.
    std::function<void()> pageChanged;
    // Refresh: press the mode button of this mode (1..4), as a click would.
    std::function<void(int mode)> selectTuningMode;
    // Refresh: put the loaded lighting choices onto the page (and start the basic effect
    // when asked).
    std::function<void(const LoadedLighting&)> showLoadedLighting;
    // Refresh: apply the lighting with the trackbars' colour, restoringLed set meanwhile.
    std::function<void()> applyRestoredLighting;
};

enum class ApplyOutcome { Refused, Applied };

class CardTuning;

// The four tuning modes, Apply, Reset and the refresh after a settings load, over a
// TuningPage. A refused write stops nothing (the next step still runs); Apply reports every
// refused write, per GPU, and the sliders of the GPU shown take back what the card holds.
class TuningController {
public:
    TuningController(GpuBoardTable& table, AppState& state, TuningCallbacks callbacks);

    // The Apply button: the warning (not for Common or no mode), the lighting, then the mode
    // for the selected GPU, all GPUs when linked, or every GPU with no selection; gpuMode and
    // settingsCommitted are set and the result shown: kAppliedText when every write was taken,
    // else what was refused. With report given, every write and its status is added to it.
    ApplyOutcome ApplyMode(TuningPage& page, TuningReport* report = nullptr);

    // The presets for one GPU: every write that changes the card (clock offsets, power target,
    // thermal limit, fan) with the card's answer; a refusal stops nothing. An invalid GPU
    // writes nothing.
    TuningReport ApplyExtreme(int gpu);
    TuningReport ApplyPerformance(int gpu);
    TuningReport ApplyCommon(int gpu);
    // Slider values are taken as they stand: the window keeps them clamped, and the tool is to
    // set them with TuningSlider::SetClamped after ReadSliderRanges.
    // The offsets one card gets in Custom: those of the clock sliders, then, on a card with a
    // VF range, those of the VF sliders, which stand in for the clock slider there.
    struct CustomOffsetsMHz {
        int32_t gpuClock = 0, memClock = 0, gpuVf = 0, memVf = 0;
    };
    // The Custom steps for one GPU: the clock offsets, the page's power and fan (through
    // coolers 1 and 2 when useFanCoolers, else a fixed speed; with the page's curve chosen the
    // fan follows that curve instead, or, when the curve does not fit the card, is left alone
    // and the report says why). A GPU with a VF range (graphics
    // VF range not empty) then gets both offsets once more from the VF values; any other
    // keeps the clock offsets just set. When the GPU is the one the page shows (or the
    // page shows none), each slider whose write was refused takes the card's value back.
    TuningReport ApplyCustom(int gpu, const CustomOffsetsMHz& offsetsMHz, TuningPage& page, bool useFanCoolers);

    // Reset's tuning half (the window does the per-LED-kind writes first): settingsCommitted,
    // then for every GPU when linked, else the selected one (all with no selection): clock
    // offsets 0, default power target, every fan path of the card back to automatic, offsets 0
    // again; the sliders follow. Returns every write with the card's answer.
    TuningReport ResetTuning(TuningPage& page);

    // After a settings load matched: the mode button of gpuMode, the loaded lighting, the
    // selected GPU's sliders from the loaded values and the card, then the lighting applied.
    void RefreshFromSettings(TuningPage& page);

    // The graphics VF range of a GPU as the VF slider shows it (offset range / 2000).
    bool HasVfRange(int gpu);

private:
    void ForTargetGpus(const TuningPage& page, bool linked, const std::function<void(int)>& run);
    TuningReport ApplyCustomMode(TuningPage& page);
    void PutCardOffsetsOnSliders(const CardTuning& card, TuningPage& page, bool vfSlidersToo = false);
    void PutCardValuesOnRefusedSliders(const CardTuning& card, int gpu, const TuningReport& report, bool vfFed,
                                       TuningPage& page);
    void Notify(const std::function<void()>& callback);
    // The GPU's fan leaves its curve: another write is about to decide its level.
    void EndFanCurve(int gpu);

    GpuBoardTable& table_;
    AppState& state_;
    TuningCallbacks callbacks_;
};

}  // namespace pyx
