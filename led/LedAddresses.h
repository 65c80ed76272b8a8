#pragma once
#include <array>
#include <cstdint>
#include <string_view>

namespace pyx {

// Bus addresses of the lighting controllers, in the 8-bit form the bus operations take.
// They never change at run time.

// The basic controller's two addresses are kept as hexadecimal text, as the boards' makers
// document them, and converted once.
uint8_t LedAddressFromText(std::string_view hexText);
uint8_t BasicClass1Address();  // "40"
uint8_t BasicClass2Address();  // "8A"

inline constexpr uint8_t kZoneMainAddress = 0x58;
// Zones 1..4 of the zone controller.
inline constexpr std::array<uint8_t, 4> kZoneAddresses = {0x46, 0x48, 0x4A, 0x4C};
// The three zones the ledTarget-6 button drives.
inline constexpr std::array<uint8_t, 3> kZoneGroupAddresses = {0x48, 0x4A, 0x4C};

inline constexpr uint8_t kEffectMainAddress = 0xAC;
// Zones 1..4 of the effect controller, the main one first.
inline constexpr std::array<uint8_t, 4> kEffectAddresses = {0xAC, 0xB0, 0xB4, 0xB8};
// The three zones the ledTarget-4 button drives.
inline constexpr std::array<uint8_t, 3> kEffectGroupAddresses = {0xB0, 0xB4, 0xB8};

}  // namespace pyx
