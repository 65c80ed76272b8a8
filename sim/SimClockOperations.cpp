// P-states 2.0, over-voltage and the clock-client domains and VF points of the simulated cards.
#include <algorithm>
#include <cstring>

#include "gpu/NvApiRecords.h"
#include "sim/SimOperationSupport.h"

namespace pyx::sim {

void RegisterClockOperations(SimOperationTable& table);

namespace {

using H = NvPhysicalGpuHandle;

SimClockDelta* DeltaFor(SimTuningState& state, uint32_t domainId) {
    if (domainId == kDomainGraphics) return &state.graphics;
    if (domainId == kDomainMemory) return &state.memory;
    return nullptr;
}

void FillClock(const SimCard& card, const SimClockDelta& delta, uint32_t domainId, NvPstates20::Clock& clock) {
    clock.domainId = domainId;
    clock.typeId = 0;  // a single frequency
    clock.flags = delta.editable ? 1u : 0u;
    clock.freqDelta_kHz = {delta.deltaKHz, delta.minKHz, delta.maxKHz};
    clock.data[0] = card.clockKHz[kClockTypeBase][domainId];
}

int32_t PYX_NVAPI_CALL GetPstates20(H h, NvPstates20* record) {
    SimCard* card = nullptr;
    if (const NvStatus s = EnterCardRecord(NvOp::GetPstates20, h, record, kPstates20GetTag, card); s != kNvOk)
        return s;
    std::lock_guard lock(card->stateMutex);
    SimTuningState& t = card->tuning;
    if (t.pstatesReadFailures > 0) {
        --t.pstatesReadFailures;
        return kNvFailed;
    }
    record->flags = 0;
    record->numPstates = 1;
    record->numClocks = 2;
    record->numBaseVoltages = 0;
    record->pstates[0].pstateId = 0;
    record->pstates[0].flags = (t.graphics.editable || t.memory.editable) ? 1u : 0u;
    FillClock(*card, t.graphics, kDomainGraphics, record->pstates[0].clocks[0]);
    FillClock(*card, t.memory, kDomainMemory, record->pstates[0].clocks[1]);
    record->numVoltages = 0;
    return kNvOk;
}

// Only P0 is modelled; a set is checked whole before any of it is applied.
int32_t PYX_NVAPI_CALL SetPstates20(H h, NvPstates20* record) {
    SimCard* card = nullptr;
    if (const NvStatus s = EnterCardRecord(NvOp::SetPstates20, h, record, kPstates20SetTag, card); s != kNvOk)
        return s;
    if (record->numPstates > 16 || record->numClocks > 8) return kSimInvalidArgument;
    std::lock_guard lock(card->stateMutex);
    SimTuningState& t = card->tuning;
    for (uint32_t p = 0; p < record->numPstates; ++p) {
        if (record->pstates[p].pstateId != 0) return kSimInvalidArgument;
        for (uint32_t c = 0; c < record->numClocks; ++c) {
            const auto& clock = record->pstates[p].clocks[c];
            const SimClockDelta* delta = DeltaFor(t, clock.domainId);
            if (delta == nullptr) return kSimInvalidArgument;
            if (!delta->editable) return kNvNotSupported;
            const int32_t v = clock.freqDelta_kHz.value;
            if (v < delta->minKHz || v > delta->maxKHz) return kSimInvalidArgument;
        }
    }
    for (uint32_t p = 0; p < record->numPstates; ++p)
        for (uint32_t c = 0; c < record->numClocks; ++c) {
            const auto& clock = record->pstates[p].clocks[c];
            SimClockDelta* delta = DeltaFor(t, clock.domainId);
            const int64_t change = static_cast<int64_t>(clock.freqDelta_kHz.value) - delta->deltaKHz;
            delta->deltaKHz = clock.freqDelta_kHz.value;
            // Every reported clock of the domain moves with its offset, as on a card.
            for (auto& type : card->clockKHz) {
                uint32_t& khz = type[clock.domainId];
                if (khz == 0) continue;
                // A clock cannot go below nothing or beyond what the field holds.
                const int64_t moved = static_cast<int64_t>(khz) + change;
                khz = static_cast<uint32_t>(std::clamp<int64_t>(moved, 1, UINT32_MAX));
            }
        }
    return kNvOk;
}

int32_t PYX_NVAPI_CALL VoltRailsGetControl(H h, NvVoltRailsControl* record) {
    SimCard* card = nullptr;
    if (const NvStatus s = EnterCardRecord(NvOp::VoltRailsGetControl, h, record, kVoltRailsControlTag, card); s != kNvOk)
        return s;
    std::lock_guard lock(card->stateMutex);
    record->percent = card->tuning.overVoltagePercent;
    return kNvOk;
}

int32_t PYX_NVAPI_CALL ClkDomainsGetInfo(H h, NvClkDomainsInfo* record) {
    SimCard* card = nullptr;
    if (const NvStatus s = EnterCardRecord(NvOp::ClkDomainsGetInfo, h, record, kClkDomainsInfoTag, card); s != kNvOk)
        return s;
    std::lock_guard lock(card->stateMutex);
    const auto& domains = card->tuning.clockDomains;
    record->domainMask = 0;
    for (size_t i = 0; i < domains.size() && i < 32; ++i) {
        record->domainMask |= 1u << i;
        auto& e = record->entries[i];
        e.type = domains[i].type;
        e.domainId = domains[i].domainId;
        e.offsetMaxKHz = domains[i].offsetMaxKHz;
        e.offsetMinKHz = domains[i].offsetMinKHz;
        e.firstVfPoint = domains[i].firstVf;
        e.lastVfPoint = domains[i].lastVf;
    }
    return kNvOk;
}

int32_t PYX_NVAPI_CALL ClkVfPointsGetInfo(H h, NvVfPointsInfo* record) {
    SimCard* card = nullptr;
    if (const NvStatus s = EnterCardRecord(NvOp::ClkVfPointsGetInfo, h, record, kVfPointsInfoTag, card); s != kNvOk)
        return s;
    std::lock_guard lock(card->stateMutex);
    std::memset(record->mask, 0, sizeof record->mask);
    for (int i = 0; i < kSimVfPoints; ++i) {
        const SimVfPoint& point = card->tuning.vfPoints[static_cast<size_t>(i)];
        if (!point.present) continue;
        record->mask[i / 32] |= 1u << (i % 32);
        if (i < kVfPointCount) {
            record->entries[i].type = point.type;
            record->entries[i].voltageBased = point.voltageBased;
        }
    }
    return kNvOk;
}

bool Masked(const uint32_t mask[8], int i) { return (mask[i / 32] & (1u << (i % 32))) != 0; }

int32_t PYX_NVAPI_CALL ClkVfPointsGetControl(H h, NvVfPointsControl* record) {
    SimCard* card = nullptr;
    if (const NvStatus s = EnterCardRecord(NvOp::ClkVfPointsGetControl, h, record, kVfPointsControlTag, card); s != kNvOk)
        return s;
    std::lock_guard lock(card->stateMutex);
    for (int i = 0; i < kVfPointCount; ++i) {
        if (!Masked(record->mask, i)) continue;
        const SimVfPoint& point = card->tuning.vfPoints[static_cast<size_t>(i)];
        if (!point.present) return kSimInvalidArgument;
        record->entries[i].type = point.type;
        record->entries[i].freqDeltaKHz = point.offsetKHz;
    }
    return kNvOk;
}

// The offset of a point must lie within the range of the domain that owns it.
const SimClockDomain* OwningDomain(const SimTuningState& t, int point) {
    for (const auto& d : t.clockDomains)
        if (d.type == 0 && d.firstVf <= d.lastVf && point >= d.firstVf && point <= d.lastVf) return &d;
    return nullptr;
}

int32_t PYX_NVAPI_CALL ClkVfPointsSetControl(H h, NvVfPointsControl* record) {
    SimCard* card = nullptr;
    if (const NvStatus s = EnterCardRecord(NvOp::ClkVfPointsSetControl, h, record, kVfPointsControlTag, card); s != kNvOk)
        return s;
    std::lock_guard lock(card->stateMutex);
    SimTuningState& t = card->tuning;
    for (int i = 0; i < kVfPointCount; ++i) {
        if (!Masked(record->mask, i)) continue;
        const SimVfPoint& point = t.vfPoints[static_cast<size_t>(i)];
        if (!point.present || point.type != 0) return kSimInvalidArgument;
        const int32_t offset = record->entries[i].freqDeltaKHz;
        const SimClockDomain* domain = OwningDomain(t, i);
        if (domain != nullptr && (offset > domain->offsetMaxKHz || offset < domain->offsetMinKHz))
            return kSimInvalidArgument;
    }
    for (int i = 0; i < kVfPointCount; ++i)
        if (Masked(record->mask, i)) t.vfPoints[static_cast<size_t>(i)].offsetKHz = record->entries[i].freqDeltaKHz;
    return kNvOk;
}

template <typename Fn>
void* Address(Fn fn) { return reinterpret_cast<void*>(fn); }

}  // namespace

void RegisterClockOperations(SimOperationTable& table) {
    table[NvOpId(NvOp::GetPstates20)] = Address(&GetPstates20);
    table[NvOpId(NvOp::SetPstates20)] = Address(&SetPstates20);
    table[NvOpId(NvOp::VoltRailsGetControl)] = Address(&VoltRailsGetControl);
    table[NvOpId(NvOp::ClkDomainsGetInfo)] = Address(&ClkDomainsGetInfo);
    table[NvOpId(NvOp::ClkVfPointsGetInfo)] = Address(&ClkVfPointsGetInfo);
    table[NvOpId(NvOp::ClkVfPointsGetControl)] = Address(&ClkVfPointsGetControl);
    table[NvOpId(NvOp::ClkVfPointsSetControl)] = Address(&ClkVfPointsSetControl);
}

}  // namespace pyx::sim
