#pragma once
#ifdef _WIN32

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

#include "gpu/DriverText.h"
#include "gpu/LibrarySource.h"

namespace pyx {

// The NVIDIA driver's NvAPI module on Windows ("nvapi64.dll" in a 64-bit build, "nvapi.dll"
// in a 32-bit one), taken only from where DriverLibraryLocator finds it.
class WindowsNvApiSource final : public LibrarySource {
public:
    WindowsNvApiSource() = default;
    WindowsNvApiSource(const WindowsNvApiSource&) = delete;
    WindowsNvApiSource& operator=(const WindowsNvApiSource&) = delete;
    ~WindowsNvApiSource() override;

    NvStatus Open(NvQueryInterfaceFn& queryInterface) override;
    void Close() override;
    std::string BackendName() const override { return "nvapi"; }
    // The loaded module's path; otherwise what Probe says.
    std::string Describe() const override;
    // False only when no driver has installed the library (nothing in the driver store or
    // the system folder): then the simulator answers. A copy that is there but cannot be
    // used (refused, unreadable, no entry point) counts as installed, and its failure is
    // reported instead.
    bool Present() const override;
    // Not installed, ready (where it was found, or loaded from), or, after an Open that
    // failed, refused with the reason and the system's error code.
    LibraryOutcome Probe() const override;
    // NvAPI_GPU_GetFullName's answer while the module is loaded; none before or after.
    std::optional<std::string> CardName(void* gpuHandle) const override;

    static const wchar_t* LibraryName();

private:
    HMODULE module_ = nullptr;
    NvQueryInterfaceFn queryInterface_ = nullptr;
    NvGetFullNameFn getFullName_ = nullptr;
    // Set when the last Open found a copy (or the lookup itself failed) but could not use it.
    std::string openFailure_;
    std::string failedPath_;
};

}  // namespace pyx

#endif  // _WIN32
