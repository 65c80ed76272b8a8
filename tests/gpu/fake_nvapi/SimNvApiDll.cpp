// A stand-in for the driver's nvapi64.dll, for the Windows tests under Wine: it exports
// nvapi_QueryInterface and answers from the simulator's built-in card, its name included. Whenever a process
// loads it, it leaves "<its own path>.loaded" beside itself, naming that process, so a test
// can tell which copy, if any, was loaded. PYX_TEST_NVAPI_INITIALIZE, when set, is what its
// NvAPI_Initialize answers, for a driver that is there but does not start.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "sim/SimLibrary.h"
#include "sim/SimScenario.h"

namespace {

void LeaveMarker(HMODULE self) {
    wchar_t path[4096];
    const DWORD length = GetModuleFileNameW(self, path, 4096);
    if (length == 0 || length >= 4096) return;
    const std::wstring marker = std::wstring(path, length) + L".loaded";
    HANDLE file = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    char program[4096];
    const DWORD programLength = GetModuleFileNameA(nullptr, program, sizeof program);
    DWORD written = 0;
    WriteFile(file, program, programLength, &written, nullptr);
    CloseHandle(file);
}

// NvAPI_GPU_GetFullName, which the simulator leaves to the library that stands for the driver.
int32_t GetFullName(void* gpu, char* name) {
    const pyx::sim::SimLibrary* library = pyx::sim::SimLibrary::Active();
    const pyx::sim::SimCard* card = library != nullptr ? library->CardFromHandle(gpu) : nullptr;
    if (card == nullptr) return pyx::sim::kSimExpectedPhysicalGpu;
    if (name == nullptr) return pyx::sim::kSimInvalidArgument;
    std::memset(name, 0, 64);
    std::memcpy(name, card->name.data(), card->name.size() < 63 ? card->name.size() : 63);
    return 0;
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) LeaveMarker(instance);
    return TRUE;
}

extern "C" __declspec(dllexport) void* nvapi_QueryInterface(uint32_t id) {
    static std::unique_ptr<pyx::sim::SimLibrary> library;
    static std::once_flag once;
    std::call_once(once, [] {
        library = pyx::sim::SimScenario::Default();
        if (const char* status = std::getenv("PYX_TEST_NVAPI_INITIALIZE")) library->initializeStatus = std::atoi(status);
        library->Activate();
    });
    if (id == 0xCEEE8E9F) return reinterpret_cast<void*>(&GetFullName);
    return pyx::sim::SimLibrary::QueryInterface(id);
}
