#pragma once
#include <cstdint>

#include "app/TuningPage.h"
#include "gpu/ClockControl.h"
#include "gpu/GpuBoardTable.h"
#include "gpu/NvApiStatus.h"

namespace pyx {

// The two start-up refusals: caption "PYXTUNE", error icon, then the program ends.
inline constexpr char kNotKeplerText[] = "PYXTUNE not support this vga card.(Is not Kepler)";
inline constexpr char kBoostClockZeroText[] = "PYXTUNE not support this vag card.(Boost clock is zero)";
inline constexpr char kRefusalCaption[] = "PYXTUNE";

// Start-up check of a card: nullptr when its boost clocks can be read and the graphics one is
// not zero, else the refusal text to show (kNotKeplerText or kBoostClockZeroText).
const char* CheckBoostClock(GpuBoardTable& table, int gpu, BoostClocks& clocks);

// Parts of the rule below: the GPU and memory clock sliders from P-state 0's offsets, and the
// two VF sliders from the clock-client domains and the first point of each domain. The VF
// sliders' ranges are held within the clock sliders' (their values reach the card as P-state
// offsets too), so ReadVfSliders needs the page's clock ranges of the same GPU read first.
void ReadClockSliders(GpuBoardTable& table, int gpu, TuningPage& page);
// The fan slider's range, unit and position from the card (its level as it runs now).
void ReadFanSlider(GpuBoardTable& table, int gpu, TuningPage& page);
void ReadVfSliders(GpuBoardTable& table, int gpu, TuningPage& page);

// Ranges and current values of the six tuning sliders for one GPU, from the card: P-state
// clock offsets, VF point offsets (the graphics VF range halved), fan range and reading,
// power-policy range and current power; each value clamped into its range. Reads that fail
// leave zeros (clock and VF ranges), a disabled power slider, or the fan value as it was.
// Used at start-up, on every GPU selection and by the command-line tool.
void ReadSliderRanges(GpuBoardTable& table, int gpu, TuningPage& page);

}  // namespace pyx
