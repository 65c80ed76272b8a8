#pragma once
#include <cstdint>

#include "gpu/GpuBoardTable.h"
#include "gpu/NvApiRecords.h"
#include "gpu/NvApiStatus.h"
#include "gpu/TachometerChipFan.h"

namespace pyx {

// The fan of one board, through the driver of the fan path discovery chose for it (BoardFan):
// the library's cooler levels, a fan chip on the card's bus, or the library's fan-cooler
// interface. An invalid GPU gives -1.

// value: percent, RPM on the tachometer chip's path. The fan-cooler path gives -104.
[[nodiscard]] NvStatus SetFanLevel(GpuBoardTable& table, int gpu, int32_t value);
// Hands the fan back to automatic control, with the card's answer. The fan-cooler path gives
// -104 (its automatic mode is SetFanCoolerLevel with 0).
[[nodiscard]] NvStatus RestoreFanAuto(GpuBoardTable& table, int gpu);
// out: percent, RPM on the tachometer chip's path. The fan-cooler path gives -104.
[[nodiscard]] NvStatus GetFanReading(GpuBoardTable& table, int gpu, int32_t* out);
// out: 1 automatic, 2 manual. The fan-cooler path gives -1. The library paths refresh
// fanLevelNv, which their reading gives.
[[nodiscard]] NvStatus GetFanMode(GpuBoardTable& table, int gpu, int32_t* out);
// Maximum and minimum level of the first fan cooler in the board's coolerSettings; either
// pointer may be null. -1 when the record lists no fan.
[[nodiscard]] NvStatus GetFanRange(GpuBoardTable& table, int gpu, uint32_t* outMax, uint32_t* outMin);
// Refreshes coolerSettings; a record that lists no cooler selects the fan-cooler path.
[[nodiscard]] NvStatus ReadBoardCoolerSettings(GpuBoardTable& table, int gpu);
// 1: fan coolers supported and their status read; 0: not supported; -1: library error.
// Either record may be null when the caller does not need it. Reports what it finds to the
// table's diagnostics.
int QueryFanCoolers(GpuBoardTable& table, int gpu, NvFanCoolersInfo* infoRecord,
                    NvFanCoolersStatus* statusRecord);
// Sets one cooler of the fan-cooler interface to percent (0 = automatic); on a board without
// that interface, the legacy cooler 0 instead. Reports to the table's diagnostics; the status
// of the last library call is returned for callers that want it.
[[nodiscard]] NvStatus SetFanCoolerLevel(GpuBoardTable& table, int gpu, float percent, uint32_t coolerId);

}  // namespace pyx
