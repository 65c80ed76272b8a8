#include "gpu/HardwareStartup.h"

#include "gpu/BoardIdentification.h"
#include "gpu/BusProbe.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace pyx {

namespace {

void DropBusMutexes(GpuBoardTable& table) {
    for (auto& board : table.boards) board.busMutex.reset();
}

}  // namespace

OsVersionQuery SystemOsVersionQuery() {
#ifdef _WIN32
    // RtlGetVersion reports the true version whatever the program's manifest says.
    return []() -> std::optional<OsVersion> {
        using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
        HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        if (ntdll == nullptr) return std::nullopt;
        auto fn = reinterpret_cast<RtlGetVersionFn>(
            reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")));
        if (fn == nullptr) return std::nullopt;
        OSVERSIONINFOW info{};
        info.dwOSVersionInfoSize = sizeof info;
        if (fn(&info) != 0) return std::nullopt;
        return OsVersion{info.dwMajorVersion, info.dwMinorVersion};
    };
#else
    return []() -> std::optional<OsVersion> { return std::nullopt; };
#endif
}

bool IsOsTooOld(const OsVersion& version) {
    return version.major < 5 || (version.major == 5 && version.minor == 0);
}

int StartHardware(GpuBoardTable& table, HardwareThread& thread, const OsVersionQuery& osVersion) {
    if (table.Library().Initialize() != kNvOk) return kStartHardwareFailed;
    if (table.EnumerateBoards() != kNvOk) return kStartHardwareFailed;

    for (int gpu = 0; gpu < table.gpuCount; ++gpu) {
        if (CheckPerfLevels(table, gpu) != kNvOk) {
            DropBusMutexes(table);
            return kStartHardwareFailed;
        }
    }

    if (osVersion) {
        if (const auto version = osVersion(); version && IsOsTooOld(*version)) {
            DropBusMutexes(table);
            return kStartHardwareOldWindows;
        }
    }

    for (int gpu = 0; gpu < table.gpuCount; ++gpu) {
        GpuBoard& board = table.Board(gpu);
        if (!board.busMutex) board.busMutex = std::make_unique<std::timed_mutex>();
        // A board whose identifiers cannot be read belongs to no family and matches no probe
        // list; it is still probed and kept.
        (void)IdentifyBoard(table, gpu);
        ProbeBoardBus(table, gpu);
    }
    for (int gpu = 0; gpu < table.gpuCount; ++gpu) PrepareFanControl(table, gpu);

    // A thread that did not start cannot be told apart from one started before on this
    // table, which may be using the bus mutexes: they stay.
    if (!thread.Start(table)) return kStartHardwareNoThread;
    return kStartHardwareOk;
}

}  // namespace pyx
