#pragma once
#include <string>

#include "gpu/NvApiStatus.h"

namespace pyx {

// What became of the attempt to use a driver library. A user must be able to tell a machine
// without the driver from one whose driver is there but unusable, so each case carries its
// own words; every library source (Linux or Windows, NvAPI or NVML) fills the same record.
enum class LibraryState {
    NotInstalled,  // no copy in any place the program looks
    Refused,       // a copy is there but is not loaded: `reason` says why
    InitFailed,    // loaded, but its initialisation answered `initStatus`
    Ready,         // loaded (and, once initialised, initialised)
};

struct LibraryOutcome {
    LibraryState state = LibraryState::NotInstalled;
    std::string library;  // the file name looked for, "libnvidia-api.so.1"
    std::string path;     // where it was found (after links), when it was
    std::string reason;   // Refused: why
    NvStatus initStatus = kNvOk;
    std::string initFunction = "NvAPI_Initialize";

    static LibraryOutcome NotInstalledOutcome(std::string library);
    static LibraryOutcome RefusedOutcome(std::string library, std::string path, std::string reason);
    static LibraryOutcome ReadyOutcome(std::string library, std::string path);

    bool Usable() const { return state == LibraryState::Ready; }
    // "libnvidia-api.so.1: not installed", "...: found but refused: <why>",
    // "...: found, but NvAPI_Initialize returned -1 (...)" or the path when ready.
    std::string Message() const;
};

}  // namespace pyx
