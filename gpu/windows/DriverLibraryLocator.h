#pragma once
#ifdef _WIN32

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "gpu/windows/DriverStoreAdapters.h"

namespace pyx {

// The running Windows as ntdll's RtlGetVersion reports it, which, unlike GetVersionEx, does
// not depend on the program's manifest. All zero when it cannot be asked.
struct WindowsVersion {
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t build = 0;
};

// Where LoadDriverLibrary would take a module from, found without loading it.
struct DriverLibraryLocation {
    std::wstring path;           // empty when none (error says why)
    bool fromDriverStore = false;  // found through the installed driver: the trusted-folder check applies
    DWORD error = ERROR_SUCCESS;   // as LoadDriverLibrary would set it
};

// Turns the bare name of an NVIDIA driver module into a file that is safe to load: the
// installed display driver's own copy in the driver store, or else the one in the system
// folder. A copy beside the program or in the current directory is never taken.
// Every call leaves the Windows last-error code set, 0 on success.
class DriverLibraryLocator {
public:
    // name: a bare file name such as "nvapi64.dll". Null with ERROR_BAD_ARGUMENTS (160) for
    // no name or one that holds a path, ERROR_BAD_PATHNAME (161) when the driver names a
    // file outside the trusted folders, ERROR_MOD_NOT_FOUND (126) when there is no copy.
    static HMODULE LoadDriverLibrary(const wchar_t* name, DWORD flags);
    // The file LoadDriverLibrary would load, and whether it is there at all: a system-folder
    // path is given only for a file that exists, so ERROR_MOD_NOT_FOUND means "not installed".
    static DriverLibraryLocation LocateDriverLibrary(const wchar_t* name);
    // The full path of the installed NVIDIA display driver's module `name`; empty when there
    // is none (ERROR_MOD_NOT_FOUND) or the adapters could not be listed (that error).
    static std::wstring FindDriverModule(const wchar_t* name);
    // The same among given adapters: the first value naming `name` whose file exists.
    static std::wstring FindDriverModuleAmong(const wchar_t* name, const std::vector<NvidiaAdapter>& adapters);
    // Loads an absolute path that lies in the Windows folder or a program-files folder;
    // ERROR_BAD_ARGUMENTS for a relative path, ERROR_BAD_PATHNAME for any other folder.
    static HMODULE LoadFromTrustedPath(const wchar_t* path, DWORD flags);

    // The running Windows build ("CurrentBuildNumber"), read once; 0 when unreadable.
    static uint32_t BuildNumber();
    // RtlGetVersion's answer, asked once.
    static WindowsVersion SystemVersion();
    // Whether this is a 32-bit process on 64-bit Windows, asked once.
    static bool IsWow64();
};

}  // namespace pyx

#endif  // _WIN32
