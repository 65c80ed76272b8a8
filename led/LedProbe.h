#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "gpu/GpuBoardTable.h"
#include "led/LedBoardState.h"

namespace pyx {

// First-success probe: the kind of the first controller that answers, in the order 0xAC,
// 0x46, 0x58, 0x40 (by its first initialisation command), 0x8A; LedKind::None when none does.
LedKind ProbeLedKind(GpuBoardTable& table, int gpu);

// Whether the probe found a controller (other than the basic one) at the 8-bit address.
bool ControllerFound(const LedBoardState& found, uint8_t address);
// What a listing names for the controllers found: "basic 0x40" (or 0x8A), then each other
// controller's address ("0x58", "0xAC", ...) in the order of the presence flags.
std::vector<std::string> FoundControllerNames(const LedBoardState& found);
// What those names say was found (another process's probe); a name it does not know is passed by.
LedBoardState LedBoardFromNames(const std::vector<std::string>& names);

// The kind the first-success probe would give, from what the start-up probe found: its
// order puts the effect and zone controllers before the basic one, whose class ledKind keeps.
LedKind FirstSuccessKind(const LedBoardState& found);

// The start-up probe: fills ledKind (0, 1 or 2: the basic controller's class) and every
// presence flag. It sends the first-success probe first; only its bus traffic remains.
void ProbeLedControllers(GpuBoardTable& table, int gpu, LedBoardState& state);

// What selecting the GPU in the window finds: the start-up probe's presence flags, then the
// first-success kind in ledKind.
void ProbeLedBoard(GpuBoardTable& table, int gpu, LedBoardState& state);

// For listings, which must change nothing on a card: the same fields, found by reads alone.
// The class-1 basic controller is asked for its register 0x00 instead of being sent its first
// initialisation command, so one that answers only that command is not listed.
void ProbeLedControllersReadOnly(GpuBoardTable& table, int gpu, LedBoardState& state);

}  // namespace pyx
