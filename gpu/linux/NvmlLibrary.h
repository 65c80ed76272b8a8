#pragma once
#include <atomic>
#include <mutex>
#include <string>

#include "gpu/LibraryOutcome.h"
#include "gpu/linux/TrustedLibraryLocator.h"

namespace pyx {

// NVIDIA's management library (libnvidia-ml.so.1), loaded at run time from the trusted
// system folders with the program's own declarations of the versioned C functions it uses.
// A function the installed library lacks stays null; callers treat that as "not answered".
class NvmlLibrary {
public:
    static constexpr const char* kLibraryName = "libnvidia-ml.so.1";

    // Its return codes the program tells apart.
    static constexpr int kSuccess = 0;
    static constexpr int kInvalidArgument = 2;
    static constexpr int kNotSupported = 3;
    static constexpr int kNoPermission = 4;
    static constexpr int kAlreadyInitialized = 5;
    static constexpr int kNotFound = 6;
    static constexpr int kDriverNotLoaded = 9;

    // Temperature thresholds (the acoustic ones are the user's target temperature).
    static constexpr int kThresholdAcousticMin = 4;
    static constexpr int kThresholdAcousticCurr = 5;
    static constexpr int kThresholdAcousticMax = 6;
    // Fan control policies.
    static constexpr unsigned kFanPolicyAuto = 0;
    static constexpr unsigned kFanPolicyManual = 1;
    // NVML_DEVICE_NAME_V2_BUFFER_SIZE: room for any name nvmlDeviceGetName gives.
    static constexpr unsigned kDeviceNameBytes = 96;

    using Device = void*;
    using Return = int;

    explicit NvmlLibrary(LibraryTrust trust);
    ~NvmlLibrary();
    NvmlLibrary(const NvmlLibrary&) = delete;
    NvmlLibrary& operator=(const NvmlLibrary&) = delete;

    // Loads and initialises the library once; true when it is ready. Later calls answer
    // what the first found.
    bool EnsureReady();
    // Not installed, refused (why), initialisation failed (nvmlInit_v2's code) or ready.
    LibraryOutcome Outcome() const;

    // The program's declarations of the functions it calls.
    Return (*Init)() = nullptr;  // nvmlInit_v2
    Return (*Shutdown)() = nullptr;
    Return (*DeviceByPciBusId)(const char* busId, Device* device) = nullptr;  // _v2
    Return (*GetName)(Device, char* name, unsigned length) = nullptr;
    Return (*GetGpcClkVfOffset)(Device, int* offsetMHz) = nullptr;
    Return (*SetGpcClkVfOffset)(Device, int offsetMHz) = nullptr;
    Return (*GetGpcClkMinMaxVfOffset)(Device, int* minMHz, int* maxMHz) = nullptr;
    Return (*GetMemClkVfOffset)(Device, int* offsetMHz) = nullptr;
    Return (*SetMemClkVfOffset)(Device, int offsetMHz) = nullptr;
    Return (*GetMemClkMinMaxVfOffset)(Device, int* minMHz, int* maxMHz) = nullptr;
    Return (*GetPowerLimit)(Device, unsigned* milliwatts) = nullptr;
    Return (*GetPowerUsage)(Device, unsigned* milliwatts) = nullptr;
    Return (*GetPowerDefaultLimit)(Device, unsigned* milliwatts) = nullptr;
    Return (*GetPowerLimitConstraints)(Device, unsigned* minMilliwatts, unsigned* maxMilliwatts) = nullptr;
    Return (*SetPowerLimit)(Device, unsigned milliwatts) = nullptr;
    Return (*GetTemperatureThreshold)(Device, int threshold, unsigned* celsius) = nullptr;
    Return (*SetTemperatureThreshold)(Device, int threshold, int* celsius) = nullptr;
    Return (*GetNumFans)(Device, unsigned* count) = nullptr;
    Return (*GetFanSpeed)(Device, unsigned fan, unsigned* percent) = nullptr;  // _v2
    Return (*GetMinMaxFanSpeed)(Device, unsigned* minPercent, unsigned* maxPercent) = nullptr;
    Return (*GetFanControlPolicy)(Device, unsigned fan, unsigned* policy) = nullptr;  // _v2
    Return (*SetFanSpeed)(Device, unsigned fan, unsigned percent) = nullptr;  // _v2
    Return (*SetDefaultFanSpeed)(Device, unsigned fan) = nullptr;  // _v2

private:
    bool LoadLocked();

    TrustedLibraryLocator locator_;
    mutable std::mutex mutex_;
    bool tried_ = false;
    std::atomic<bool> ready_{false};
    void* module_ = nullptr;
    LibraryOutcome outcome_;
};

}  // namespace pyx
