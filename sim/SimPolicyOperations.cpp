// Power and thermal policies of the simulated cards.
#include "gpu/NvApiRecords.h"
#include "sim/SimOperationSupport.h"

namespace pyx::sim {

void RegisterPolicyOperations(SimOperationTable& table);

namespace {

using H = NvPhysicalGpuHandle;

int32_t PYX_NVAPI_CALL PowerPoliciesGetInfo(H h, NvPowerPoliciesInfo* record) {
    SimCard* card = nullptr;
    if (const NvStatus s = EnterCardRecord(NvOp::PowerPoliciesGetInfo, h, record, kPowerPoliciesInfoTag, card); s != kNvOk)
        return s;
    std::lock_guard lock(card->stateMutex);
    const SimPowerPolicy& p = card->tuning.power;
    record->flags = 1;
    record->count = 1;
    record->entries[0].pstateId = 0;
    record->entries[0].minPowerPcm = p.minPcm;
    record->entries[0].defaultPowerPcm = p.defaultPcm;
    record->entries[0].maxPowerPcm = p.maxPcm;
    return kNvOk;
}

int32_t PYX_NVAPI_CALL PowerPoliciesGetStatus(H h, NvPowerPoliciesStatus* record) {
    SimCard* card = nullptr;
    if (const NvStatus s = EnterCardRecord(NvOp::PowerPoliciesGetStatus, h, record, kPowerPoliciesStatusTag, card); s != kNvOk)
        return s;
    std::lock_guard lock(card->stateMutex);
    record->count = 1;
    record->entries[0].policyId = 0;
    record->entries[0].powerPcm = card->tuning.power.currentPcm;
    return kNvOk;
}

int32_t PYX_NVAPI_CALL PowerPoliciesSetStatus(H h, NvPowerPoliciesStatus* record) {
    SimCard* card = nullptr;
    if (const NvStatus s = EnterCardRecord(NvOp::PowerPoliciesSetStatus, h, record, kPowerPoliciesStatusTag, card); s != kNvOk)
        return s;
    std::lock_guard lock(card->stateMutex);
    SimPowerPolicy& p = card->tuning.power;
    const uint32_t pcm = record->entries[0].powerPcm;
    if (record->count < 1 || pcm < p.minPcm || pcm > p.maxPcm) return kSimInvalidArgument;
    p.currentPcm = pcm;
    return kNvOk;
}

SimThermalPolicy* FindPolicy(SimTuningState& t, uint32_t id) {
    for (auto& p : t.thermalPolicies)
        if (p.id == id) return &p;
    return nullptr;
}

int32_t PYX_NVAPI_CALL ThermalPoliciesGetInfo(H h, NvThermalPoliciesInfo* record) {
    SimCard* card = nullptr;
    if (const NvStatus s = EnterCardRecord(NvOp::ThermalPoliciesGetInfo, h, record, kThermalPoliciesInfoTag, card); s != kNvOk)
        return s;
    std::lock_guard lock(card->stateMutex);
    const SimTuningState& t = card->tuning;
    if (!t.thermalPoliciesSupported) {
        record->flags = 0;
        record->count = 0;
        return kNvOk;
    }
    record->flags = 1;
    record->count = static_cast<uint8_t>(t.thermalPolicies.size());
    for (size_t i = 0; i < t.thermalPolicies.size(); ++i) {
        const SimThermalPolicy& p = t.thermalPolicies[i];
        auto& e = record->entries[i];
        e.policyId = p.id;
        e.minLimit = p.minLimit;
        e.defaultLimit = p.defaultLimit;
        e.maxLimit = p.maxLimit;
        e.flags = p.acousticAvailable ? 1u : 0u;
    }
    return kNvOk;
}

// The caller names the policies it wants by id, as the library expects.
int32_t PYX_NVAPI_CALL ThermalPoliciesGetStatus(H h, NvThermalPoliciesStatus* record) {
    SimCard* card = nullptr;
    if (const NvStatus s = EnterCardRecord(NvOp::ThermalPoliciesGetStatus, h, record, kThermalPoliciesStatusTag, card); s != kNvOk)
        return s;
    std::lock_guard lock(card->stateMutex);
    SimTuningState& t = card->tuning;
    if (!t.thermalPoliciesSupported) return kNvNotSupported;
    if (record->count > 4) return kSimInvalidArgument;
    for (uint32_t i = 0; i < record->count; ++i) {
        const SimThermalPolicy* p = FindPolicy(t, record->entries[i].policyId);
        if (p == nullptr) return kSimInvalidArgument;
        record->entries[i].limit = p->currentLimit;
        record->entries[i].flags = p->preferAcoustics ? 1u : 0u;
    }
    return kNvOk;
}

int32_t PYX_NVAPI_CALL ThermalPoliciesSetStatus(H h, NvThermalPoliciesStatus* record) {
    SimCard* card = nullptr;
    if (const NvStatus s = EnterCardRecord(NvOp::ThermalPoliciesSetStatus, h, record, kThermalPoliciesStatusTag, card); s != kNvOk)
        return s;
    std::lock_guard lock(card->stateMutex);
    SimTuningState& t = card->tuning;
    if (!t.thermalPoliciesSupported) return kNvNotSupported;
    if (record->count < 1 || record->count > 4) return kSimInvalidArgument;
    for (uint32_t i = 0; i < record->count; ++i) {
        const SimThermalPolicy* p = FindPolicy(t, record->entries[i].policyId);
        if (p == nullptr) return kSimInvalidArgument;
        if (record->entries[i].limit < p->minLimit || record->entries[i].limit > p->maxLimit) return kSimInvalidArgument;
    }
    for (uint32_t i = 0; i < record->count; ++i) {
        SimThermalPolicy* p = FindPolicy(t, record->entries[i].policyId);
        p->currentLimit = record->entries[i].limit;
        p->preferAcoustics = (record->entries[i].flags & 1u) != 0;
    }
    return kNvOk;
}

template <typename Fn>
void* Address(Fn fn) { return reinterpret_cast<void*>(fn); }

}  // namespace

void RegisterPolicyOperations(SimOperationTable& table) {
    table[NvOpId(NvOp::PowerPoliciesGetInfo)] = Address(&PowerPoliciesGetInfo);
    table[NvOpId(NvOp::PowerPoliciesGetStatus)] = Address(&PowerPoliciesGetStatus);
    table[NvOpId(NvOp::PowerPoliciesSetStatus)] = Address(&PowerPoliciesSetStatus);
    table[NvOpId(NvOp::ThermalPoliciesGetInfo)] = Address(&ThermalPoliciesGetInfo);
    table[NvOpId(NvOp::ThermalPoliciesGetStatus)] = Address(&ThermalPoliciesGetStatus);
    table[NvOpId(NvOp::ThermalPoliciesSetStatus)] = Address(&ThermalPoliciesSetStatus);
}

}  // namespace pyx::sim
