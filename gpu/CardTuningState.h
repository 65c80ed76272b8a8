#pragma once
#include <cstdint>
#include <optional>
#include <vector>

#include "gpu/CardTuning.h"
#include "gpu/CardWrites.h"
#include "gpu/FanState.h"
#include "gpu/GpuBoardTable.h"

namespace pyx {

// One card's whole tuning as it ran at one moment, taken before a change so that the change
// can be taken back. A field the card would not report is left empty and is never written.
struct CardTuningState {
    std::optional<ClockOffsets> offsets;                  // P-state 0
    std::optional<std::vector<VfPointOffset>> vfPoints;   // each programmable point, by index
    std::optional<uint32_t> powerPcm;                     // the first power policy
    std::optional<float> thermalLimitC;                   // the acoustic policy's, as it holds it
    std::vector<FanOutletState> fans;                     // each fan path with its mode and level
};

// The tuning of one GPU as it runs now; an invalid GPU gives an empty state.
CardTuningState CaptureTuning(GpuBoardTable& table, int gpu);

// Writes a captured state back: offsets, power, thermal limit, fans, then each VF point to its
// own offset. Every answer is in the CardWrites returned, so a refusal is named; a refusal
// stops nothing. Fans go through the fan rules (a fixed level never below the card's minimum,
// never in another unit), so a captured level the rules refuse leaves that fan to the card.
CardWrites RestoreTuning(GpuBoardTable& table, int gpu, const CardTuningState& state);

}  // namespace pyx
