#pragma once
#include <cstdint>

#include "gpu/GpuBoardTable.h"
#include "gpu/NvApiRecords.h"
#include "gpu/NvApiStatus.h"

namespace pyx {

// The fan, by the board's fanControlType (set by discovery):
//   0  library cooler levels
//   1  library cooler levels; the slot-1 chip reports the duty
//   2  library cooler levels plus the slot-1 chip's duty registers
//   3  the slot-0 chip, driven by tachometer count (values are RPM)
//   4  the library's fan-cooler interface only (see SetFanCoolerLevel)
// Every chip or library failure ends the operation at that step with its status; nothing is
// rolled back.

// A tachometer count c is 1,500,000 / c RPM, and an RPM r is written as 1,500,000 / r.
inline constexpr int32_t kTachometerConstant = 1500000;
inline constexpr int kFanChipSlot0 = 0;  // tachometer chip (type 3)
inline constexpr int kFanChipSlot1 = 1;  // duty chip (types 1 and 2)

// value: percent for types 0 to 2, RPM for type 3. Type 4 and unknown types give -104.
NvStatus SetFanLevel(GpuBoardTable& table, int gpu, int32_t value);
// Hands the fan back to automatic control. Types 0 and 1 answer -104 even when the library
// restored the cooler; type 4 gives -104 (its automatic mode is SetFanCoolerLevel with 0).
NvStatus RestoreFanAuto(GpuBoardTable& table, int gpu);
// out: percent (types 0 to 2) or RPM (type 3). Type 4 gives -104.
NvStatus GetFanReading(GpuBoardTable& table, int gpu, int32_t* out);
// out: 1 automatic, 2 manual. Type 4 gives -1. Types 0 and 1 refresh fanLevelNv.
NvStatus GetFanMode(GpuBoardTable& table, int gpu, int32_t* out);
// Maximum and minimum level of the first fan cooler in the board's coolerSettings; either
// pointer may be null. -1 when the record lists no fan.
NvStatus GetFanRange(GpuBoardTable& table, int gpu, uint32_t* outMax, uint32_t* outMin);
// Refreshes coolerSettings; a record that lists no cooler switches the board to type 4.
NvStatus ReadBoardCoolerSettings(GpuBoardTable& table, int gpu);
// 1: fan coolers supported and their status read; 0: not supported; -1: library error.
// Either record may be null when the caller does not need it. Prints what it finds.
int QueryFanCoolers(GpuBoardTable& table, int gpu, NvFanCoolersInfo* infoRecord,
                    NvFanCoolersStatus* statusRecord);
// Sets one cooler of the fan-cooler interface to percent (0 = automatic); on a board without
// that interface, the legacy cooler 0 instead. Reports on standard output; the status of the
// last library call is returned for callers that want it.
NvStatus SetFanCoolerLevel(GpuBoardTable& table, int gpu, float percent, uint32_t coolerId);

// The count written for an RPM request: 1,500,000 / rpm held within the chip's 16 bits.
// Requests at or below 0 (and below 23 RPM, where the quotient no longer fits) ask for the
// slowest speed the chip can be told, 0xFFFF.
uint16_t TachometerCountForRpm(int32_t rpm);
// A count of 0 means the tachometer saw no pulse: a stopped fan, 0 RPM.
int32_t RpmForTachometerCount(uint16_t count);

}  // namespace pyx
