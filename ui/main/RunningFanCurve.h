#pragma once
#include <optional>

#include "app/AppState.h"
#include "app/TuningPage.h"

namespace pyx {

// The curve the shown GPU's fan runs, on the page (none where it runs none): what the page shows
// once the cards are read again (another GPU shown, a load, a reset, a revert, a curve's end), so
// that an unchanged Apply keeps the fan as it runs.
inline void ShowRunningFanCurve(const AppState& state, TuningPage& page) {
    page.fanCurve = page.selectedGpu >= 0 && page.selectedGpu < kMaxGpus
                        ? state.fanCurves[static_cast<size_t>(page.selectedGpu)]
                        : std::nullopt;
}

}  // namespace pyx
