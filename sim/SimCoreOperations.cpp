// Enumeration, identification, clocks, temperatures and utilisation of the simulated cards.
#include <cstring>

#include "gpu/NvApiRecords.h"
#include "sim/SimOperationSupport.h"

namespace pyx::sim {

void RegisterCoreOperations(SimOperationTable& table);

namespace {

using H = NvPhysicalGpuHandle;

int32_t PYX_NVAPI_CALL Initialize() {
    SimLibrary* library = SimLibrary::Active();
    if (library == nullptr) return kNvFailed;
    const int32_t status = library->initializeStatus.load();
    library->MarkInitialised(status == kNvOk);
    return status;
}

int32_t PYX_NVAPI_CALL EnumPhysicalGPUs(H handles[kNvMaxPhysicalGpus], uint32_t* count) {
    SimLibrary* library = SimLibrary::Active();
    if (library == nullptr) return kSimNotInitialised;
    if (const NvStatus gate = library->Gate(NvOpId(NvOp::EnumPhysicalGPUs)); gate != kNvOk) return gate;
    if (handles == nullptr || count == nullptr) return kSimInvalidArgument;
    size_t n = 0;
    for (size_t i = 0; i < library->CardCount() && n < kNvMaxPhysicalGpus; ++i)
        if (library->Card(i).pluggedIn) handles[n++] = &library->Card(i);
    *count = static_cast<uint32_t>(n);
    // The real library reports "no NVIDIA device" rather than an empty list.
    return n == 0 ? kNvDeviceNotFound : kNvOk;
}

int32_t PYX_NVAPI_CALL GetPCIIdentifiers(H h, uint32_t* deviceId, uint32_t* subSystemId,
                                         uint32_t* revisionId, uint32_t* extDeviceId) {
    SimCard* card = nullptr;
    if (const NvStatus s = EnterCard(NvOp::GetPCIIdentifiers, h, card); s != kNvOk) return s;
    if (!deviceId || !subSystemId || !revisionId || !extDeviceId) return kSimInvalidArgument;
    *deviceId = card->deviceId;
    *subSystemId = card->subSystemId;
    *revisionId = card->revisionId;
    *extDeviceId = card->extDeviceId;
    return kNvOk;
}

int32_t PYX_NVAPI_CALL GetAllClockFrequencies(H h, NvClockFrequencies* record) {
    SimCard* card = nullptr;
    if (const NvStatus s = EnterCardRecord(NvOp::GetAllClockFrequencies, h, record, kClockFrequenciesTag, card); s != kNvOk)
        return s;
    const uint32_t type = record->clockType & 0xF;
    if (type >= kSimClockTypes) return kSimInvalidArgument;
    std::lock_guard lock(card->stateMutex);
    for (int d = 0; d < kSimClockDomains; ++d) {
        const uint32_t khz = card->clockKHz[type][static_cast<size_t>(d)];
        record->domain[d].present = khz != 0 ? 1u : 0u;
        record->domain[d].frequencyKHz = khz;
    }
    return kNvOk;
}

int32_t PYX_NVAPI_CALL GetThermalSettings(H h, uint32_t sensorIndex, NvThermalSettings* record) {
    SimCard* card = nullptr;
    if (const NvStatus s = EnterCardRecord(NvOp::GetThermalSettings, h, record, kThermalSettingsTag, card); s != kNvOk)
        return s;
    std::lock_guard lock(card->stateMutex);
    card->FollowHeatCycle();
    const size_t available = card->sensors.size() < 3 ? card->sensors.size() : 3;
    size_t first = 0;
    size_t count = available;
    if (sensorIndex != 15) {  // 15: all sensors
        if (sensorIndex >= available) return kSimInvalidArgument;
        first = sensorIndex;
        count = 1;
    }
    record->count = static_cast<uint32_t>(count);
    for (size_t i = 0; i < count; ++i) {
        const SimThermalSensor& sensor = card->sensors[first + i];
        record->sensor[i] = {sensor.controller, sensor.defaultMinC, sensor.defaultMaxC, sensor.currentC,
                             sensor.target};
    }
    return kNvOk;
}

int32_t PYX_NVAPI_CALL GetDynamicPstatesInfoEx(H h, NvDynamicPstatesInfo* record) {
    SimCard* card = nullptr;
    if (const NvStatus s = EnterCardRecord(NvOp::GetDynamicPstatesInfoEx, h, record, kDynamicPstatesTag, card); s != kNvOk)
        return s;
    std::lock_guard lock(card->stateMutex);
    card->FollowHeatCycle();
    record->flags = 1;  // dynamic performance states enabled
    for (size_t i = 0; i < card->utilizationPercent.size(); ++i)
        record->utilization[i] = {1u, card->utilizationPercent[i]};
    return kNvOk;
}

int32_t PYX_NVAPI_CALL SysGetChipSetInfo(NvChipSetInfo* record) {
    SimLibrary* library = SimLibrary::Active();
    if (library == nullptr) return kSimNotInitialised;
    if (const NvStatus gate = library->Gate(NvOpId(NvOp::SysGetChipSetInfo)); gate != kNvOk) return gate;
    if (record == nullptr) return kSimInvalidArgument;
    if (record->version != kChipSetInfoTag) return kSimIncompatibleVersion;
    record->vendorId = 0x8086;
    record->deviceId = 0x7A04;
    return kNvOk;
}

// The PCI bus the card sits on: cards are numbered from bus 1 up, one card per bus, as on
// a board with one slot per root port.
int32_t PYX_NVAPI_CALL GetBusId(H h, uint32_t* busId) {
    SimLibrary* library = SimLibrary::Active();
    if (library == nullptr) return kSimNotInitialised;
    if (const NvStatus gate = library->Gate(kIdGetBusId); gate != kNvOk) return gate;
    const SimCard* card = library->CardFromHandle(h);
    if (card == nullptr) return kSimExpectedPhysicalGpu;
    if (!card->pluggedIn) return kSimHandleInvalidated;
    if (busId == nullptr) return kSimInvalidArgument;
    *busId = static_cast<uint32_t>(library->CardIndex(*card) + 1);
    return kNvOk;
}

template <typename Fn>
void* Address(Fn fn) { return reinterpret_cast<void*>(fn); }

}  // namespace

void RegisterCoreOperations(SimOperationTable& table) {
    table[kIdInitialize] = Address(&Initialize);
    table[NvOpId(NvOp::EnumPhysicalGPUs)] = Address(&EnumPhysicalGPUs);
    table[NvOpId(NvOp::GetPCIIdentifiers)] = Address(&GetPCIIdentifiers);
    table[NvOpId(NvOp::GetAllClockFrequencies)] = Address(&GetAllClockFrequencies);
    table[NvOpId(NvOp::GetThermalSettings)] = Address(&GetThermalSettings);
    table[NvOpId(NvOp::GetDynamicPstatesInfoEx)] = Address(&GetDynamicPstatesInfoEx);
    table[NvOpId(NvOp::SysGetChipSetInfo)] = Address(&SysGetChipSetInfo);
    table[kIdGetBusId] = Address(&GetBusId);
}

}  // namespace pyx::sim
