#pragma once
#include <cstdint>
#include <span>

#include "gpu/GpuBoardTable.h"

namespace pyx {

// PCI device ids the program knows, and the families that decide how a board's bus is
// reached. Kept as lists rather than ranges: the ids do not follow any order.
std::span<const uint16_t> SupportedDeviceIds();
std::span<const uint16_t> FamilyADeviceIds();
std::span<const uint16_t> FamilyBDeviceIds();
std::span<const uint16_t> FamilyCDeviceIds();
std::span<const uint16_t> FamilyDDeviceIds();
// Boards whose bus carries a device at slot 2, 3, 6 or 7.
std::span<const uint16_t> Slot2DeviceIds();
std::span<const uint16_t> Slot3DeviceIds();
std::span<const uint16_t> Slot6DeviceIds();
std::span<const uint16_t> Slot7DeviceIds();

bool DeviceInList(std::span<const uint16_t> list, uint32_t deviceId);
// The family whose list holds the id (the lists do not overlap).
BoardFamily FamilyOf(uint32_t deviceId);

// The board's device id as a number, read back from deviceIdText; 0 when the board was not
// identified (no id list holds 0).
uint32_t BoardDeviceId(const GpuBoard& board);

// One board of a given maker's design is told apart by its subsystem id. The id is divided
// by 65535, not shifted by 16, as the boards were matched from the start; the low half of
// the id can therefore carry the quotient over (0xA014xxxx with xxxx >= 0x5FEB does not match).
bool IsSubsysA014(uint32_t deviceId, uint32_t subSystemId);

// Reads the PCI ids, fills deviceIdText, hasFanCoolersApi, hasBoostClock, the family and
// isSubsysA014. Returns the identifiers' status; on failure the board is left as it was.
[[nodiscard]] NvStatus IdentifyBoard(GpuBoardTable& table, int gpu);

// Legacy performance-level check of one board: sets hasGraphicsClock / hasMemoryClock from the
// levels that count. kNvOk when the table could be read and held at least one such level;
// otherwise the library's status, or kNvFailed for an empty table or no level that counts.
[[nodiscard]] NvStatus CheckPerfLevels(GpuBoardTable& table, int gpu);

}  // namespace pyx
