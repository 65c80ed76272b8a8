#pragma once
#include <array>
#include <cstdint>
#include <optional>

namespace pyx {

// An LED colour: three bytes R, G, B. Packed as 0xBBGGRR (red in the low byte) where one
// word must carry the whole colour, so that a reader never sees half of an old colour.
struct LedColour {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;

    constexpr uint32_t Packed() const {
        return static_cast<uint32_t>(r) | static_cast<uint32_t>(g) << 8 | static_cast<uint32_t>(b) << 16;
    }
    static constexpr LedColour FromPacked(uint32_t packed) {
        return {static_cast<uint8_t>(packed), static_cast<uint8_t>(packed >> 8),
                static_cast<uint8_t>(packed >> 16)};
    }
    friend constexpr bool operator==(const LedColour&, const LedColour&) = default;
};

inline constexpr LedColour kLedBlack{0, 0, 0};

// The eight fixed colours, in the order of the page's colour buttons; also the palette of
// the cycling effects.
inline constexpr std::array<LedColour, 8> kLedPalette = {{{255, 255, 255},
                                                         {255, 0, 0},
                                                         {255, 49, 0},
                                                         {255, 200, 0},
                                                         {0, 255, 0},
                                                         {0, 0, 255},
                                                         {254, 27, 46},
                                                         {128, 0, 128}}};

// Where the colour of a mode sequence comes from.
struct LedColourSource {
    int colourPreset = 0;  // 0: the sliders; 1..8: a fixed colour; anything else: unchanged
    LedColour sliders;
    bool restoringLed = false;  // the start-up restore: the sliders, whatever the preset says
};

// The fixed colour of a preset 1..8; none for any other value.
std::optional<LedColour> PresetColour(int colourPreset);

// The colour a mode sequence sends; current is kept when the source names no colour.
LedColour ResolveLedColour(const LedColourSource& source, LedColour current);

// One component scaled by k/denominator with integer division, as the effects fade.
constexpr uint8_t ScaleComponent(uint8_t c, int k, int denominator) {
    return static_cast<uint8_t>(static_cast<int>(c) * k / denominator);
}

}  // namespace pyx
