#pragma once
#ifdef _WIN32

#include <cstdint>
#include <string>
#include <vector>

namespace pyx {

// One present NVIDIA display adapter, as the installed driver describes it.
struct NvidiaAdapter {
    std::wstring driverKey;    // "{class guid}\NNNN", below SYSTEM\CurrentControlSet\Control\Class
    std::wstring storeFolder;  // the driver-store folder its INF was installed from; empty if unknown
    std::wstring service;      // the name of its kernel driver's service; empty if unknown
};

// The setup API's view of the display adapters. Setupapi.dll is loaded from the system folder
// for the call only, so a program that never looks for the driver never maps it.
class DriverStoreAdapters {
public:
    // Fills `adapters` with the NVIDIA ones. Returns 0 (possibly with none found), or the
    // Windows error that kept the setup API from listing the adapters at all.
    static uint32_t List(std::vector<NvidiaAdapter>& adapters);
};

}  // namespace pyx

#endif  // _WIN32
