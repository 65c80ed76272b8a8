#pragma once
#include <cstdint>
#include <string>

namespace pyx {

// Every GPU and bus operation answers with one of these or with the library's own status.
using NvStatus = int32_t;

inline constexpr NvStatus kNvOk = 0;
// Bus mutex not obtained, or a device, cooler or library entry point missing.
inline constexpr NvStatus kNvFailed = -1;
inline constexpr NvStatus kNvLibraryNotFound = -2;
// The library does not know the interface id.
inline constexpr NvStatus kNvNoInterface = -3;
inline constexpr NvStatus kNvInvalidArgument = -5;
// The library's answer to a listing of the GPUs when there is none.
inline constexpr NvStatus kNvDeviceNotFound = -6;
inline constexpr NvStatus kNvNotSupported = -104;
// The caller lacks the rights the change needs (the library's "invalid user privilege").
inline constexpr NvStatus kNvNoPermission = -137;

inline constexpr char kNeedsAdministratorRights[] = "needs administrator rights";
// A status as a user is told it: "status -104", or for a refused permission
// "needs administrator rights, status -137".
std::string StatusText(NvStatus status);

}  // namespace pyx
