#include "led/LedColour.h"

namespace pyx {

std::optional<LedColour> PresetColour(int colourPreset) {
    if (colourPreset < 1 || colourPreset > static_cast<int>(kLedPalette.size())) return std::nullopt;
    return kLedPalette[static_cast<size_t>(colourPreset - 1)];
}

LedColour ResolveLedColour(const LedColourSource& source, LedColour current) {
    if (source.restoringLed || source.colourPreset == 0) return source.sliders;
    return PresetColour(source.colourPreset).value_or(current);
}

}  // namespace pyx
