#pragma once
#include <cstdint>
#include <functional>
#include <optional>

#include "led/LedBoardState.h"
#include "led/LedEffectEngine.h"
#include "led/LedPageState.h"
#include "led/LedSettings.h"
#include "led/LedWriteResult.h"

namespace pyx {

// A timer index 0..7 stands for a period of 3 s .. 10 s; none for any other index.
std::optional<double> TimerPeriodMs(int timerIndex);

// Reads the page into the current colour, the three periods and the saved values; the
// tuning mode goes to gpuMode.
void CaptureLedSettings(const LedPageState& page, LedEffectEngine& engine, LedSettings& settings,
                        int& gpuMode);

struct LedApplyOptions {
    // The Apply button's path: only it starts the basic-controller effect (target 0).
    bool applyButton = true;
    // The start-up restore: the mode sequences take the sliders' colour.
    bool restoringLed = false;
    // Saves the settings to "Led.txt"; called after each GPU with a target 2..6 when there
    // are two or more GPUs. A failed save is not reported.
    std::function<void()> saveLedSettings;
    // The saved controller kind (ledControllerKind) for GPUs whose own kind is 0.
    LedKind ledControllerKind = LedKind::None;
    // Drives this GPU alone, as if it were the machine's only one: its breathing runs in its
    // controllers, and the basic effect's frames go to it only. "Led.txt" is still saved
    // when the machine has several GPUs. Unset: every GPU, as the window drives them.
    std::optional<int> onlyGpu;
};

// Drives every GPU's LED target: mode sequences, breathing-sync threads with two or more
// GPUs, the basic effect on the Apply path. GM1MODE and GM2MODE are saved as they are sent.
// Returns the writes sent here that a controller refused (the effect threads' frames are
// counted by the engine instead). The window does not report them.
LedWriteResult ApplyLedSettings(const LedPageState& page, LedEffectEngine& engine, LedSettings& settings,
                                const LedApplyOptions& options);

// Initialises every GPU's basic controller (or onlyGpu's) and starts the basic effect for
// each by LEDMODE, from the saved values. Returns the initialisation commands refused by a
// GPU whose controller is of class 1, the only class that takes them.
LedWriteResult StartBasicEffect(const LedPageState& page, LedEffectEngine& engine, const LedSettings& settings,
                                LedKind ledControllerKind, std::optional<int> onlyGpu = std::nullopt);

}  // namespace pyx
