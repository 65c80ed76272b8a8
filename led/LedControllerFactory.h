#pragma once
#include <cstdint>
#include <memory>

#include "gpu/GpuBoardTable.h"
#include "led/LedBoardState.h"
#include "led/LedController.h"

namespace pyx {

// Where the lighting's bus addresses meet the controller kinds: every controller the program
// drives is made here, from what the probe found or from what a page button or an effect in
// step drives. Nothing outside led/ names a register or an address.

// The controller the probe found first on a GPU, with its zones in the order its reset goes
// through them: the effect controller 0xAC then 0xB0; the zone controller from the zone it was
// found by (0x58, 0x46, 0x48 or 0x46, 0x48, 0x58); the basic controller of the class found.
// Null for LedKind::None.
std::unique_ptr<LedController> MakeFoundController(GpuBoardTable& table, int gpu, LedKind kind);

// The zones a page button drives: 0x58, 0x46, 0x48..0x4C, 0xAC or 0xB0..0xB8. Null for the
// basic target, which is driven through the program's own effect.
std::unique_ptr<LedController> MakeTargetController(GpuBoardTable& table, int gpu, LedTarget target);

// The zones the program breathes in step across cards, by the effect's kind (kSyncZone58: the
// main zone; kSyncZoneGroup: zones 0x46..0x4C; kSyncEffect: every effect zone).
std::unique_ptr<LedController> MakeSyncController(GpuBoardTable& table, int gpu, int32_t syncKind);

}  // namespace pyx
