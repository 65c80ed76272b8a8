#pragma once
#include <cstdint>
#include <functional>
#include <optional>

#include "gpu/GpuBoardTable.h"
#include "gpu/HardwareThread.h"

namespace pyx {

// What StartHardware answers.
inline constexpr int kStartHardwareOk = 0;
inline constexpr int kStartHardwareFailed = 1;      // library, enumeration or performance levels
inline constexpr int kStartHardwareOldWindows = 2;  // Windows before 5.1
inline constexpr int kStartHardwareNoThread = 3;    // the background thread could not be started

struct OsVersion {
    uint32_t major = 0;
    uint32_t minor = 0;
};
// The running system's version; nullopt when it cannot be told (the check is then skipped).
using OsVersionQuery = std::function<std::optional<OsVersion>()>;
// Windows: the system's own version. Elsewhere there is no version to refuse: always nullopt.
OsVersionQuery SystemOsVersionQuery();
bool IsOsTooOld(const OsVersion& version);

// Brings the hardware up once at start: initialises the library, enumerates the boards,
// checks their performance levels, identifies and probes each board, prepares each fan and
// starts `thread` on the table. On kStartHardwareOk the thread is running. On
// kStartHardwareNoThread the boards are probed and usable, but the fan type the BIOS decides
// and the fan-chip limits will never be learned, so the stored settings must not be applied.
// On any other result the boards are left without bus mutexes, so no bus traffic reaches them.
int StartHardware(GpuBoardTable& table, HardwareThread& thread,
                  const OsVersionQuery& osVersion = SystemOsVersionQuery());

}  // namespace pyx
