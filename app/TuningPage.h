#pragma once
#include <cstdint>
#include <optional>

#include "app/FanCurve.h"

#include "gpu/FanPath.h"

namespace pyx {

// Tuning mode numbers: the main window's tuningMode, and gpuMode once a mode has been applied.
inline constexpr int kTuningModeNone = 0;
inline constexpr int kTuningModeExtreme = 1;
inline constexpr int kTuningModePerformance = 2;
inline constexpr int kTuningModeCommon = 3;
inline constexpr int kTuningModeCustom = 4;

// One bitmap slider as the tuning rules see it. Values shown are always clamped: above the
// maximum to the maximum, then below the minimum to the minimum (so an inverted range shows
// its minimum).
struct TuningSlider {
    int32_t pos = 0;
    int32_t min = 0;
    int32_t max = 0;
    bool enabled = true;

    void Clamp() {
        if (pos > max) pos = max;
        if (pos < min) pos = min;
    }
    void SetClamped(int32_t value) {
        pos = value;
        Clamp();
    }
    bool HasRange() const { return max > min; }
};

// The tuning half of the main window, as the window (or the command-line tool) fills it and
// the tuning rules read and write it. The window owns the widgets and copies this back onto
// them; nothing here knows about a widget.
struct TuningPage {
    TuningSlider gpuClock;  // MHz offset
    TuningSlider memClock;  // MHz offset
    TuningSlider power;     // percent; enabled only with a usable policy range
    TuningSlider fan;       // in fanUnit; off on the fan-cooler path
    FanUnit fanUnit = FanUnit::Percent;  // the unit of the shown GPU's fan
    // Custom's fan follows this curve instead of the fan slider's level; none: the slider's.
    std::optional<FanCurve> fanCurve;
    TuningSlider gpuVf;     // MHz offset of the graphics VF points
    TuningSlider memVf;     // MHz offset of the memory VF points

    int tuningMode = kTuningModeNone;  // the mode button pressed (see kTuningMode*)
    int selectedGpu = -1;              // the GPU the page shows; -1: none (then every GPU)
    bool linkAllGpus = false;          // Apply and Reset reach every GPU
    // Set by every finished Apply or Reset, never cleared: hiding the window then no longer
    // saves the settings file.
    bool settingsCommitted = false;

    // The fan level the last range read found on the card.
    int32_t lastFanLevel = 10;
    // The selected GPU's power-policy maximum in whole percent, when its range is usable.
    int32_t maxPowerPercent = 0;
};

}  // namespace pyx
