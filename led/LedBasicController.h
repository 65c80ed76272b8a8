#pragma once
#include <cstdint>

#include "gpu/GpuBoardTable.h"
#include "led/LedBoardState.h"
#include "led/LedColour.h"
#include "led/LedWriteResult.h"

namespace pyx {

// The basic controller holds one colour; every effect on it is animated by the program.

// The three class-1 initialisation commands, sent whatever the GPU's kind. Only a class-1
// controller takes them; the caller decides whether a refusal means anything.
[[nodiscard]] LedWriteResult InitBasicController(GpuBoardTable& table, int gpu);

// The class used for a GPU: its own ledKind, or the process-wide ledControllerKind when the
// GPU has none. Only the basic kinds name a basic controller.
LedKind BasicControllerClass(LedKind ledKind, LedKind ledControllerKind);

// One colour frame. Class 1: the 10-byte colour block, whose level byte is 0x00 while the
// logon session is ending (sessionEnding) and 0xFF otherwise. Class 2: the register
// writes, the library's lighting tick, then the latch. Any other class writes nothing.
// Returns the writes the controller refused (the tick is the library's, not a write).
[[nodiscard]] LedWriteResult WriteBasicColour(GpuBoardTable& table, int gpu, LedKind basicClass, LedColour colour,
                      bool sessionEnding);

// The library's lighting tick for one GPU (status ignored by its users).
NvStatus GpuLightingTick(GpuBoardTable& table, int gpu);

}  // namespace pyx
