#pragma once
#include <cstdint>

#include "gpu/NvApiRecords.h"
#include "gpu/NvApiStatus.h"

namespace pyx {

class GpuBoardTable;

// The pieces the fan drivers share: the fan chips' slots and registers, and the library's
// legacy cooler calls.

inline constexpr int kFanChipSlot0 = 0;  // tachometer chip
inline constexpr int kFanChipSlot1 = 1;  // duty chip

// Slot-1 duty chip.
inline constexpr uint8_t kSlot1DutyReading = 0x30;
inline constexpr uint8_t kSlot1DutyTarget = 0x31;
inline constexpr uint8_t kSlot1DutyLimit = 0x39;
inline constexpr uint8_t kSlot1Mode = 0x5D;
inline constexpr uint8_t kSlot1ManualBits = 0xE0;
// Slot-0 tachometer chip.
inline constexpr uint8_t kSlot0FanConfig = 0x60;
inline constexpr uint8_t kSlot0CountHigh = 0x74;
inline constexpr uint8_t kSlot0CountLow = 0x75;
inline constexpr uint8_t kSlot0CurveFirst = 0xA0;

// The paced path waits this long before it reaches the library's coolers.
inline constexpr int kPacedCoolerDelayMs = 20;

void PauseMs(int ms);

[[nodiscard]] NvStatus ReadFanChip(GpuBoardTable& table, int gpu, int slot, uint8_t reg, uint8_t* value);
[[nodiscard]] NvStatus WriteFanChip(GpuBoardTable& table, int gpu, int slot, uint8_t reg, uint8_t value);

// The library's cooler record of every cooler (index 7), zero-filled first.
[[nodiscard]] NvStatus ReadCoolerSettings(GpuBoardTable& table, int gpu, NvCoolerSettingsV4* record);
// Index of the first fan among the record's coolers, -1 when there is none.
int FindFanCooler(const NvCoolerSettingsV4& record);
// One manual level for one cooler.
[[nodiscard]] NvStatus SendCoolerLevel(GpuBoardTable& table, int gpu, uint32_t coolerIndex, uint32_t level);
// The level for the first fan cooler; sent twice, 10 ms apart, when twice is set (some drivers
// drop the first set after the policy changes).
[[nodiscard]] NvStatus SetLibraryFanLevel(GpuBoardTable& table, int gpu, int32_t value, bool twice);
// Hands the first fan cooler back to the library, with the library's answer; a failed read or
// no fan cooler gives that failure.
[[nodiscard]] NvStatus RestoreLibraryFan(GpuBoardTable& table, int gpu);
// The first fan cooler's mode (2 manual, 1 automatic); refreshes the board's fanLevelNv, which
// a failed read leaves at -1.
[[nodiscard]] NvStatus LibraryFanMode(GpuBoardTable& table, int gpu, int32_t* out);

// A slot-0 chip without a slot-3 device tells the mode on every path that reads one.
bool Slot0ChipTellsMode(const GpuBoardTable& table, int gpu);
[[nodiscard]] NvStatus Slot0ChipMode(GpuBoardTable& table, int gpu, int32_t* out);

}  // namespace pyx
