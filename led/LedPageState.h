#pragma once
#include <array>
#include <cstdint>

#include "gpu/GpuBoard.h"
#include "led/LedBoardState.h"
#include "led/LedColour.h"

namespace pyx {

// The LED page of the main window as the lighting rules read it. The window fills it from
// its widgets (the command-line tool from its arguments); the core never sees a widget.
struct LedPageState {
    int colourPreset = 0;             // 0: the sliders; 1..8: a fixed colour
    std::array<int, 3> sliders{};     // R, G, B trackbars 1020..1022, 0..255
    // Selected index of timer combo boxes 1017..1019; -1 when a box has no selection.
    std::array<int, 3> timerIndex{};
    uint32_t ledMode = 9;             // LEDMODE
    uint32_t gm1Mode = 0;             // GM1MODE
    uint32_t gm2Mode = 0;             // GM2MODE
    int tuningMode = 0;
    std::array<LedBoardState, kMaxGpus> boards{};

    LedColour SliderColour() const {
        auto byte = [](int v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
        return {byte(sliders[0]), byte(sliders[1]), byte(sliders[2])};
    }
};

}  // namespace pyx
