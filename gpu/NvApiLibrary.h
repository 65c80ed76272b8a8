#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "gpu/LibrarySource.h"
#include "gpu/NvApiIds.h"
#include "gpu/NvApiRecords.h"
#include "gpu/NvApiStatus.h"
#include "gpu/Trace.h"

namespace pyx {

// The layer every GPU access goes through: loads the library once (under a critical
// section), reaches each operation by interface id through a pointer cache, counts calls in
// flight, and writes the trace. One object per process, owned by the application object.
class NvApiLibrary {
public:
    NvApiLibrary(std::unique_ptr<LibrarySource> source, std::unique_ptr<Trace> trace = nullptr);
    ~NvApiLibrary();
    NvApiLibrary(const NvApiLibrary&) = delete;
    NvApiLibrary& operator=(const NvApiLibrary&) = delete;

    // Loads the library if needed and initialises it if that has not succeeded yet.
    [[nodiscard]] NvStatus Initialize();
    // Releases the module; the next call loads it afresh with an empty pointer cache.
    void Unload();

    // What became of the last load: not installed, refused (why), initialisation failed
    // (its status) or ready. Before the first load, what a look for the library finds.
    LibraryOutcome Outcome() const;
    // Whether the library has an entry point for the operation (loads it if needed); asks
    // nothing of the card.
    bool HasEntry(NvOp op);
    const LibrarySource* Source() const { return source_.get(); }
    LibrarySource* Source() { return source_.get(); }

    std::string BackendName() const;
    std::string BackendDescription() const;
    bool IsSimulated() const { return BackendName() == "sim"; }
    // Operations currently inside the layer, over all threads.
    int32_t CallsInFlight() const { return callCounter_.load(); }
    Trace* GetTrace() const { return trace_.get(); }
    // Index of a handle in the last enumeration, -1 if unknown (for the trace).
    int GpuIndexOf(NvPhysicalGpuHandle handle) const;

    [[nodiscard]] NvStatus EnumPhysicalGPUs(NvPhysicalGpuHandle handles[kNvMaxPhysicalGpus], uint32_t* count);
    [[nodiscard]] NvStatus GetPCIIdentifiers(NvPhysicalGpuHandle h, uint32_t* deviceId, uint32_t* subSystemId,
                               uint32_t* revisionId, uint32_t* extDeviceId);
    [[nodiscard]] NvStatus GetAllClockFrequencies(NvPhysicalGpuHandle h, NvClockFrequencies* record);
    [[nodiscard]] NvStatus GetPerfLevels(NvPhysicalGpuHandle h, int32_t level, NvPerfLevels* record);
    [[nodiscard]] NvStatus GetCoolerSettings(NvPhysicalGpuHandle h, uint32_t coolerIndex, NvCoolerSettingsV4* record);
    [[nodiscard]] NvStatus GetCoolerSettings(NvPhysicalGpuHandle h, uint32_t coolerIndex, NvCoolerSettingsV3* record);
    [[nodiscard]] NvStatus SetCoolerLevels(NvPhysicalGpuHandle h, uint32_t coolerIndex, NvCoolerLevels* record);
    [[nodiscard]] NvStatus RestoreCoolerSettings(NvPhysicalGpuHandle h, uint32_t* coolerIndexes, uint32_t count);
    [[nodiscard]] NvStatus GetPstates20(NvPhysicalGpuHandle h, NvPstates20* record);
    [[nodiscard]] NvStatus SetPstates20(NvPhysicalGpuHandle h, NvPstates20* record);
    [[nodiscard]] NvStatus GetDynamicPstatesInfoEx(NvPhysicalGpuHandle h, NvDynamicPstatesInfo* record);
    [[nodiscard]] NvStatus GetThermalSettings(NvPhysicalGpuHandle h, uint32_t sensorIndex, NvThermalSettings* record);
    [[nodiscard]] NvStatus ThermalPoliciesGetInfo(NvPhysicalGpuHandle h, NvThermalPoliciesInfo* record);
    [[nodiscard]] NvStatus ThermalPoliciesGetStatus(NvPhysicalGpuHandle h, NvThermalPoliciesStatus* record);
    [[nodiscard]] NvStatus ThermalPoliciesSetStatus(NvPhysicalGpuHandle h, NvThermalPoliciesStatus* record);
    [[nodiscard]] NvStatus I2CRead(NvPhysicalGpuHandle h, NvI2cRequestV3* request);
    [[nodiscard]] NvStatus I2CWrite(NvPhysicalGpuHandle h, NvI2cRequestV3* request);
    [[nodiscard]] NvStatus I2CWriteEx(NvPhysicalGpuHandle h, NvI2cRequestV3* request, uint32_t extra[2]);
    [[nodiscard]] NvStatus I2CReadEx(NvPhysicalGpuHandle h, NvI2cRequestV3* request, uint32_t extra[2]);
    [[nodiscard]] NvStatus PowerPoliciesGetInfo(NvPhysicalGpuHandle h, NvPowerPoliciesInfo* record);
    [[nodiscard]] NvStatus PowerPoliciesGetStatus(NvPhysicalGpuHandle h, NvPowerPoliciesStatus* record);
    [[nodiscard]] NvStatus PowerPoliciesSetStatus(NvPhysicalGpuHandle h, NvPowerPoliciesStatus* record);
    [[nodiscard]] NvStatus LightingTick(NvPhysicalGpuHandle h, NvLightingTick* record);
    [[nodiscard]] NvStatus FanCoolersGetInfo(NvPhysicalGpuHandle h, NvFanCoolersInfo* record);
    [[nodiscard]] NvStatus FanCoolersGetStatus(NvPhysicalGpuHandle h, NvFanCoolersStatus* record);
    [[nodiscard]] NvStatus FanCoolersSetControl(NvPhysicalGpuHandle h, NvFanCoolersControl* record);
    // Each cooler's level and whether it runs at a fixed level (flags bit 0), as set last.
    [[nodiscard]] NvStatus FanCoolersGetControl(NvPhysicalGpuHandle h, NvFanCoolersControl* record);
    [[nodiscard]] NvStatus VoltRailsGetControl(NvPhysicalGpuHandle h, NvVoltRailsControl* record);
    [[nodiscard]] NvStatus ClkDomainsGetInfo(NvPhysicalGpuHandle h, NvClkDomainsInfo* record);
    [[nodiscard]] NvStatus ClkVfPointsGetInfo(NvPhysicalGpuHandle h, NvVfPointsInfo* record);
    [[nodiscard]] NvStatus ClkVfPointsGetControl(NvPhysicalGpuHandle h, NvVfPointsControl* record);
    [[nodiscard]] NvStatus ClkVfPointsSetControl(NvPhysicalGpuHandle h, NvVfPointsControl* record);
    [[nodiscard]] NvStatus SysGetChipSetInfo(NvChipSetInfo* record);

private:
    using BeforeHookFn = void(PYX_NVAPI_CALL*)(uint32_t id, void* context);
    using AfterHookFn = void(PYX_NVAPI_CALL*)(uint32_t id, void* context, int32_t status);

    NvStatus EnsureLoaded();
    NvStatus LoadLocked();
    template <typename Fn, typename... Args>
    NvStatus Call(NvOp op, Args... args);
    void TraceI2c(const char* operation, NvPhysicalGpuHandle h, const NvI2cRequestV3& request,
                  bool isRead, NvStatus status) const;
    void TraceLine(const char* operation, NvPhysicalGpuHandle h, const std::string& fields,
                   NvStatus status) const;

    std::unique_ptr<LibrarySource> source_;
    std::unique_ptr<Trace> trace_;

    mutable std::mutex loadMutex_;  // the initialisation critical section
    bool loadTried_ = false;
    LibraryOutcome outcome_;
    std::atomic<bool> loaded_{false};
    bool initialised_ = false;
    NvQueryInterfaceFn queryInterface_ = nullptr;
    int32_t(PYX_NVAPI_CALL* initialize_)() = nullptr;
    BeforeHookFn beforeHook_ = nullptr;
    AfterHookFn afterHook_ = nullptr;

    std::array<std::atomic<void*>, kNvOpCount> cache_{};
    std::atomic<int32_t> callCounter_{0};

    mutable std::mutex handlesMutex_;
    std::array<NvPhysicalGpuHandle, kNvMaxPhysicalGpus> handles_{};
    uint32_t handleCount_ = 0;
};

}  // namespace pyx
