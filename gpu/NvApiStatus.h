#pragma once
#include <cstdint>

namespace pyx {

// Every GPU and bus operation answers with one of these or with the library's own status.
using NvStatus = int32_t;

inline constexpr NvStatus kNvOk = 0;
// Bus mutex not obtained, or a device, cooler or library entry point missing.
inline constexpr NvStatus kNvFailed = -1;
inline constexpr NvStatus kNvLibraryNotFound = -2;
// The library does not know the interface id.
inline constexpr NvStatus kNvNoInterface = -3;
inline constexpr NvStatus kNvNotSupported = -104;

}  // namespace pyx
