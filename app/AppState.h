#pragma once
#include <array>
#include <cstdint>
#include <optional>

#include "app/FanCurve.h"

#include "app/TuningSettings.h"
#include "gpu/GpuBoard.h"
#include "led/LedBoardState.h"
#include "led/LedSettings.h"

namespace pyx {

// What the application object keeps of the settings: the values of the last load, and the
// VF offsets the save writes. The board table (and its over-voltage percent) lives beside it.
// The defaults are those of a first start, before any settings file was read.
struct AppState {
    TuningSettings tuningSettings;
    uint8_t gpuMode = 0;       // "GpuMode": the tuning mode last applied
    LedSettings ledSettings;   // LEDMODE 9, red 255, green 0, blue 0 until a load says otherwise
    LedKind ledControllerKind = LedKind::None;  // the lighting controller the last load's probe found
    // kHz offset of the last programmable VF point of the graphics (gpu) and memory (mem)
    // domain, as the last VF read found them; the save writes each GPU's own.
    int32_t gpuVfOffset = 0;
    int32_t memVfOffset = 0;
    // The curve each GPU's fan follows; none where the fan is fixed or the card's own. Set by an
    // apply or a load, ended by any other fan write; whoever owns the cards runs them
    // (FanCurveEngine), and the save writes them.
    std::array<std::optional<FanCurve>, kMaxGpus> fanCurves{};
    // The controller group each GPU was last lit on where the service lit it ("LedTarget"): its
    // lighting goes back there. None: the kind the GPU's probe finds chooses, as at the
    // window's start (the window keeps none).
    std::array<std::optional<LedTarget>, kMaxGpus> ledTargets{};
    // Each GPU's own lighting where the service lit GPUs apart (in other colours, say): the save
    // writes it in that GPU's section in place of ledSettings, and the service puts each GPU's
    // back. None: ledSettings, the one lighting the window keeps for the machine.
    std::array<std::optional<LedSettings>, kMaxGpus> gpuLedSettings{};
};

}  // namespace pyx
