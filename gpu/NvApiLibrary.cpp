#include "gpu/NvApiLibrary.h"

#include <cstring>
#include <string>

#include "gpu/Trace.h"

namespace pyx {

namespace {

// Keeps the process-wide count of operations in flight right on every return path.
class CallCounterGuard {
public:
    explicit CallCounterGuard(std::atomic<int32_t>& counter) : counter_(counter) { ++counter_; }
    ~CallCounterGuard() { --counter_; }
    CallCounterGuard(const CallCounterGuard&) = delete;
    CallCounterGuard& operator=(const CallCounterGuard&) = delete;

private:
    std::atomic<int32_t>& counter_;
};

std::string Fields(const char* format, auto... values) {
    char buffer[160];
    std::snprintf(buffer, sizeof buffer, format, values...);
    return buffer;
}

}  // namespace

NvApiLibrary::NvApiLibrary(std::unique_ptr<LibrarySource> source, std::unique_ptr<Trace> trace)
    : source_(std::move(source)), trace_(std::move(trace)) {}

NvApiLibrary::~NvApiLibrary() { Unload(); }

std::string NvApiLibrary::BackendName() const { return source_ ? source_->BackendName() : "none"; }

std::string NvApiLibrary::BackendDescription() const {
    return source_ ? source_->Describe() : std::string();
}

NvStatus NvApiLibrary::Initialize() {
    std::lock_guard lock(loadMutex_);
    if (!loaded_.load(std::memory_order_acquire)) return LoadLocked();
    if (initialised_) return kNvOk;
    if (initialize_ == nullptr) return kNvFailed;
    const NvStatus status = initialize_();
    initialised_ = status == kNvOk;
    return status;
}

LibraryOutcome NvApiLibrary::Outcome() const {
    std::lock_guard lock(loadMutex_);
    if (loadTried_) return outcome_;
    return source_ ? source_->Probe() : LibraryOutcome::NotInstalledOutcome("none");
}

bool NvApiLibrary::HasEntry(NvOp op) {
    CallCounterGuard counted(callCounter_);
    if (EnsureLoaded() != kNvOk) return false;
    auto& slot = cache_[static_cast<size_t>(op)];
    if (slot.load(std::memory_order_acquire) != nullptr) return true;
    return queryInterface_ != nullptr && queryInterface_(NvOpId(op)) != nullptr;
}

void NvApiLibrary::Unload() {
    std::lock_guard lock(loadMutex_);
    if (!loaded_.load()) return;
    loaded_.store(false, std::memory_order_release);
    for (auto& slot : cache_) slot.store(nullptr);
    queryInterface_ = nullptr;
    initialize_ = nullptr;
    beforeHook_ = nullptr;
    afterHook_ = nullptr;
    initialised_ = false;
    source_->Close();
}

NvStatus NvApiLibrary::EnsureLoaded() {
    if (loaded_.load(std::memory_order_acquire)) return kNvOk;
    std::lock_guard lock(loadMutex_);
    if (loaded_.load(std::memory_order_acquire)) return kNvOk;
    return LoadLocked();
}

NvStatus NvApiLibrary::LoadLocked() {
    loadTried_ = true;
    if (!source_) {
        outcome_ = LibraryOutcome::NotInstalledOutcome("none");
        return kNvLibraryNotFound;
    }
    NvQueryInterfaceFn query = nullptr;
    const NvStatus opened = source_->Open(query);
    if (opened != kNvOk) {
        outcome_ = source_->Probe();
        // A source that could not open must not be reported as ready.
        if (outcome_.state == LibraryState::Ready)
            outcome_ = LibraryOutcome::RefusedOutcome(outcome_.library, outcome_.path,
                                                      "it could not be opened (status " + std::to_string(opened) + ")");
        return opened;
    }
    outcome_ = source_->Probe();
    if (query == nullptr) {
        source_->Close();
        outcome_ = LibraryOutcome::RefusedOutcome(outcome_.library, outcome_.path, "it has no entry point");
        return kNvFailed;
    }
    auto initialize = reinterpret_cast<int32_t(PYX_NVAPI_CALL*)()>(query(kIdInitialize));
    if (initialize == nullptr) {
        source_->Close();
        outcome_ = LibraryOutcome::RefusedOutcome(outcome_.library, outcome_.path, "it does not know NvAPI_Initialize");
        return kNvFailed;
    }
    const NvStatus status = initialize();
    if (status != kNvOk) {
        source_->Close();
        outcome_.state = LibraryState::InitFailed;
        outcome_.initStatus = status;
        return status;
    }
    queryInterface_ = query;
    initialize_ = initialize;
    initialised_ = true;
    beforeHook_ = reinterpret_cast<BeforeHookFn>(query(kIdBeforeCallHook));
    afterHook_ = reinterpret_cast<AfterHookFn>(query(kIdAfterCallHook));
    for (auto& slot : cache_) slot.store(nullptr);
    loaded_.store(true, std::memory_order_release);
    return kNvOk;
}

template <typename Fn, typename... Args>
NvStatus NvApiLibrary::Call(NvOp op, Args... args) {
    CallCounterGuard counted(callCounter_);
    const NvStatus loaded = EnsureLoaded();
    if (loaded != kNvOk) return loaded;

    auto& slot = cache_[static_cast<size_t>(op)];
    void* address = slot.load(std::memory_order_acquire);
    if (address == nullptr) {
        // An id the library does not know stays uncached, so it is asked again next time.
        address = queryInterface_ ? queryInterface_(NvOpId(op)) : nullptr;
        if (address == nullptr) return kNvNoInterface;
        slot.store(address, std::memory_order_release);
    }
    uint8_t context[8] = {};
    if (beforeHook_) beforeHook_(NvOpId(op), context);
    const NvStatus status = reinterpret_cast<Fn>(address)(args...);
    if (afterHook_) afterHook_(NvOpId(op), context, status);
    return status;
}

int NvApiLibrary::GpuIndexOf(NvPhysicalGpuHandle handle) const {
    std::lock_guard lock(handlesMutex_);
    for (uint32_t i = 0; i < handleCount_; ++i)
        if (handles_[i] == handle) return static_cast<int>(i);
    return -1;
}

void NvApiLibrary::TraceLine(const char* operation, NvPhysicalGpuHandle h,
                             const std::string& fields, NvStatus status) const {
    if (trace_) trace_->Write(operation, GpuIndexOf(h), fields, status);
}

void NvApiLibrary::TraceI2c(const char* operation, NvPhysicalGpuHandle h,
                            const NvI2cRequestV3& request, bool isRead, NvStatus status) const {
    if (!trace_) return;
    std::string fields = Fields("port=%u addr=0x%02x reg=0x%02x data=", request.bIsDDCPort,
                                request.i2cDevAddress,
                                request.pbI2cRegAddress ? request.pbI2cRegAddress[0] : 0u);
    if (request.pbData != nullptr && !(isRead && status != kNvOk))
        fields += Trace::Hex(request.pbData, request.cbSize);
    trace_->Write(operation, GpuIndexOf(h), fields, status);
}

// ---- wrappers ------------------------------------------------------------------------------

using H = NvPhysicalGpuHandle;

NvStatus NvApiLibrary::EnumPhysicalGPUs(H handles[kNvMaxPhysicalGpus], uint32_t* count) {
    const NvStatus status = Call<int32_t(PYX_NVAPI_CALL*)(H*, uint32_t*)>(NvOp::EnumPhysicalGPUs, handles, count);
    if (status == kNvOk) {
        std::lock_guard lock(handlesMutex_);
        handleCount_ = *count < kNvMaxPhysicalGpus ? *count : kNvMaxPhysicalGpus;
        for (uint32_t i = 0; i < handleCount_; ++i) handles_[i] = handles[i];
    }
    return status;
}

NvStatus NvApiLibrary::GetPCIIdentifiers(H h, uint32_t* deviceId, uint32_t* subSystemId,
                                         uint32_t* revisionId, uint32_t* extDeviceId) {
    return Call<int32_t(PYX_NVAPI_CALL*)(H, uint32_t*, uint32_t*, uint32_t*, uint32_t*)>(
        NvOp::GetPCIIdentifiers, h, deviceId, subSystemId, revisionId, extDeviceId);
}

#define PYX_RECORD_WRAPPER(Name, Record)                                                  \
    NvStatus NvApiLibrary::Name(H h, Record* record) {                                    \
        return Call<int32_t(PYX_NVAPI_CALL*)(H, Record*)>(NvOp::Name, h, record);         \
    }

PYX_RECORD_WRAPPER(GetAllClockFrequencies, NvClockFrequencies)
PYX_RECORD_WRAPPER(GetPstates20, NvPstates20)
PYX_RECORD_WRAPPER(GetDynamicPstatesInfoEx, NvDynamicPstatesInfo)
PYX_RECORD_WRAPPER(ThermalPoliciesGetInfo, NvThermalPoliciesInfo)
PYX_RECORD_WRAPPER(ThermalPoliciesGetStatus, NvThermalPoliciesStatus)
PYX_RECORD_WRAPPER(PowerPoliciesGetInfo, NvPowerPoliciesInfo)
PYX_RECORD_WRAPPER(PowerPoliciesGetStatus, NvPowerPoliciesStatus)
PYX_RECORD_WRAPPER(FanCoolersGetInfo, NvFanCoolersInfo)
PYX_RECORD_WRAPPER(FanCoolersGetStatus, NvFanCoolersStatus)
PYX_RECORD_WRAPPER(FanCoolersGetControl, NvFanCoolersControl)
PYX_RECORD_WRAPPER(VoltRailsGetControl, NvVoltRailsControl)
PYX_RECORD_WRAPPER(ClkDomainsGetInfo, NvClkDomainsInfo)
PYX_RECORD_WRAPPER(ClkVfPointsGetInfo, NvVfPointsInfo)
PYX_RECORD_WRAPPER(ClkVfPointsGetControl, NvVfPointsControl)
#undef PYX_RECORD_WRAPPER

NvStatus NvApiLibrary::GetPerfLevels(H h, int32_t level, NvPerfLevels* record) {
    return Call<int32_t(PYX_NVAPI_CALL*)(H, int32_t, NvPerfLevels*)>(NvOp::GetPerfLevels, h, level, record);
}

NvStatus NvApiLibrary::GetCoolerSettings(H h, uint32_t coolerIndex, NvCoolerSettingsV4* record) {
    return Call<int32_t(PYX_NVAPI_CALL*)(H, uint32_t, void*)>(NvOp::GetCoolerSettings, h, coolerIndex,
                                                              static_cast<void*>(record));
}

NvStatus NvApiLibrary::GetCoolerSettings(H h, uint32_t coolerIndex, NvCoolerSettingsV3* record) {
    return Call<int32_t(PYX_NVAPI_CALL*)(H, uint32_t, void*)>(NvOp::GetCoolerSettings, h, coolerIndex,
                                                              static_cast<void*>(record));
}

NvStatus NvApiLibrary::SetCoolerLevels(H h, uint32_t coolerIndex, NvCoolerLevels* record) {
    const NvStatus status = Call<int32_t(PYX_NVAPI_CALL*)(H, uint32_t, NvCoolerLevels*)>(
        NvOp::SetCoolerLevels, h, coolerIndex, record);
    TraceLine("SetCoolerLevels", h,
              Fields("cooler=%u level=%u policy=%u", coolerIndex, record->cooler[0].level,
                     record->cooler[0].policy),
              status);
    return status;
}

NvStatus NvApiLibrary::RestoreCoolerSettings(H h, uint32_t* coolerIndexes, uint32_t count) {
    const NvStatus status = Call<int32_t(PYX_NVAPI_CALL*)(H, uint32_t*, uint32_t)>(
        NvOp::RestoreCoolerSettings, h, coolerIndexes, count);
    for (uint32_t i = 0; i < count; ++i)
        TraceLine("RestoreCoolerSettings", h, Fields("cooler=%u", coolerIndexes[i]), status);
    return status;
}

NvStatus NvApiLibrary::SetPstates20(H h, NvPstates20* record) {
    const NvStatus status = Call<int32_t(PYX_NVAPI_CALL*)(H, NvPstates20*)>(NvOp::SetPstates20, h, record);
    if (trace_) {
        const uint32_t pstates = record->numPstates < 16 ? record->numPstates : 16;
        const uint32_t clocks = record->numClocks < 8 ? record->numClocks : 8;
        for (uint32_t p = 0; p < pstates; ++p)
            for (uint32_t c = 0; c < clocks; ++c) {
                const auto& clock = record->pstates[p].clocks[c];
                TraceLine("SetPstates20", h,
                          Fields("pstate=%u domain=%u deltaKHz=%d", record->pstates[p].pstateId,
                                 clock.domainId, clock.freqDelta_kHz.value),
                          status);
            }
    }
    return status;
}

NvStatus NvApiLibrary::GetThermalSettings(H h, uint32_t sensorIndex, NvThermalSettings* record) {
    return Call<int32_t(PYX_NVAPI_CALL*)(H, uint32_t, NvThermalSettings*)>(NvOp::GetThermalSettings, h,
                                                                           sensorIndex, record);
}

NvStatus NvApiLibrary::ThermalPoliciesSetStatus(H h, NvThermalPoliciesStatus* record) {
    const NvStatus status = Call<int32_t(PYX_NVAPI_CALL*)(H, NvThermalPoliciesStatus*)>(
        NvOp::ThermalPoliciesSetStatus, h, record);
    if (trace_) {
        const uint32_t count = record->count < 4 ? record->count : 4;
        for (uint32_t i = 0; i < count; ++i)
            TraceLine("ThermalPoliciesSetStatus", h,
                      Fields("policy=%u limit=%d", record->entries[i].policyId, record->entries[i].limit),
                      status);
    }
    return status;
}

NvStatus NvApiLibrary::I2CRead(H h, NvI2cRequestV3* request) {
    const NvStatus status = Call<int32_t(PYX_NVAPI_CALL*)(H, NvI2cRequestV3*)>(NvOp::I2CRead, h, request);
    TraceI2c("I2CRead", h, *request, true, status);
    return status;
}

NvStatus NvApiLibrary::I2CWrite(H h, NvI2cRequestV3* request) {
    const NvStatus status = Call<int32_t(PYX_NVAPI_CALL*)(H, NvI2cRequestV3*)>(NvOp::I2CWrite, h, request);
    TraceI2c("I2CWrite", h, *request, false, status);
    return status;
}

NvStatus NvApiLibrary::I2CWriteEx(H h, NvI2cRequestV3* request, uint32_t extra[2]) {
    const NvStatus status = Call<int32_t(PYX_NVAPI_CALL*)(H, NvI2cRequestV3*, uint32_t*)>(
        NvOp::I2CWriteEx, h, request, extra);
    TraceI2c("I2CWriteEx", h, *request, false, status);
    return status;
}

NvStatus NvApiLibrary::I2CReadEx(H h, NvI2cRequestV3* request, uint32_t extra[2]) {
    const NvStatus status = Call<int32_t(PYX_NVAPI_CALL*)(H, NvI2cRequestV3*, uint32_t*)>(
        NvOp::I2CReadEx, h, request, extra);
    TraceI2c("I2CReadEx", h, *request, true, status);
    return status;
}

NvStatus NvApiLibrary::PowerPoliciesSetStatus(H h, NvPowerPoliciesStatus* record) {
    const NvStatus status = Call<int32_t(PYX_NVAPI_CALL*)(H, NvPowerPoliciesStatus*)>(
        NvOp::PowerPoliciesSetStatus, h, record);
    TraceLine("PowerPoliciesSetStatus", h, Fields("power=%u", record->entries[0].powerPcm), status);
    return status;
}

NvStatus NvApiLibrary::LightingTick(H h, NvLightingTick* record) {
    const NvStatus status = Call<int32_t(PYX_NVAPI_CALL*)(H, NvLightingTick*)>(NvOp::LightingTick, h, record);
    TraceLine("LightingTick", h, std::string(), status);
    return status;
}

NvStatus NvApiLibrary::FanCoolersSetControl(H h, NvFanCoolersControl* record) {
    const NvStatus status = Call<int32_t(PYX_NVAPI_CALL*)(H, NvFanCoolersControl*)>(
        NvOp::FanCoolersSetControl, h, record);
    if (trace_) {
        const uint32_t count = record->count < 32 ? record->count : 32;
        for (uint32_t i = 0; i < count; ++i)
            TraceLine("FanCoolersSetControl", h,
                      Fields("cooler=%u level=%u manual=%u", record->entries[i].coolerId,
                             record->entries[i].level, record->entries[i].flags & 1u),
                      status);
    }
    return status;
}

NvStatus NvApiLibrary::ClkVfPointsSetControl(H h, NvVfPointsControl* record) {
    const NvStatus status = Call<int32_t(PYX_NVAPI_CALL*)(H, NvVfPointsControl*)>(
        NvOp::ClkVfPointsSetControl, h, record);
    if (trace_) {
        for (int i = 0; i < kVfPointCount; ++i)
            if (record->mask[i / 32] & (1u << (i % 32)))
                TraceLine("ClkVfPointsSetControl", h,
                          Fields("point=%d offsetKHz=%d", i, record->entries[i].freqDeltaKHz), status);
    }
    return status;
}

NvStatus NvApiLibrary::SysGetChipSetInfo(NvChipSetInfo* record) {
    return Call<int32_t(PYX_NVAPI_CALL*)(NvChipSetInfo*)>(NvOp::SysGetChipSetInfo, record);
}

}  // namespace pyx
