#pragma once
#include <cstdint>
#include <functional>

#include "led/LedEffectEngine.h"
#include "led/LedPageState.h"
#include "led/LedSettings.h"

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
    uint32_t ledControllerKind = 0;
};

// Drives every GPU's LED target: mode sequences, breathing-sync threads with two or more
// GPUs, the basic effect on the Apply path. GM1MODE and GM2MODE are saved as they are sent.
void ApplyLedSettings(const LedPageState& page, LedEffectEngine& engine, LedSettings& settings,
                      const LedApplyOptions& options);

// Initialises every GPU's basic controller and starts the basic effect for each GPU by
// LEDMODE, from the saved values.
void StartBasicEffect(const LedPageState& page, LedEffectEngine& engine, const LedSettings& settings,
                      uint32_t ledControllerKind);

}  // namespace pyx
