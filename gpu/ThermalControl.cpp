#include "gpu/ThermalControl.h"

#include <cmath>
#include <cstring>

namespace pyx {

namespace {

constexpr uint32_t kMaxPolicies = 4;

NvStatus ReadInfo(GpuBoardTable& table, int gpu, NvThermalPoliciesInfo* info) {
    std::memset(info, 0, sizeof *info);
    info->version = kThermalPoliciesInfoTag;
    return table.Library().ThermalPoliciesGetInfo(table.Board(gpu).gpuHandle, info);
}

NvStatus ReadStatusFor(GpuBoardTable& table, int gpu, const NvThermalPoliciesInfo& info,
                       NvThermalPoliciesStatus* status) {
    std::memset(status, 0, sizeof *status);
    status->version = kThermalPoliciesStatusTag;
    // The library may report more policies than the record holds; ask for those it holds.
    status->count = info.count < kMaxPolicies ? info.count : kMaxPolicies;
    for (uint32_t i = 0; i < status->count; ++i) status->entries[i].policyId = info.entries[i].policyId;
    return table.Library().ThermalPoliciesGetStatus(table.Board(gpu).gpuHandle, status);
}

}  // namespace

NvStatus ReadThermalPolicies(GpuBoardTable& table, int gpu, NvThermalPoliciesInfo* infoOut,
                             NvThermalPoliciesStatus* statusOut) {
    if (!table.IsValidGpu(gpu)) return kNvFailed;
    NvThermalPoliciesInfo info;
    NvStatus s = ReadInfo(table, gpu, &info);
    if (s != kNvOk) return s;
    if ((info.flags & 1u) == 0) return kNvOk;
    NvThermalPoliciesStatus status;
    s = ReadStatusFor(table, gpu, info, &status);
    if (s == kNvOk) {
        if (infoOut) *infoOut = info;
        if (statusOut) *statusOut = status;
    }
    return s;
}

NvStatus SetThermalLimit(GpuBoardTable& table, int gpu, float celsius) {
    if (!table.IsValidGpu(gpu)) return kNvFailed;
    NvThermalPoliciesInfo info;
    NvStatus s = ReadInfo(table, gpu, &info);
    if (s != kNvOk) return s;
    if ((info.flags & 1u) == 0) return kNvOk;
    const uint32_t count = info.count < kMaxPolicies ? info.count : kMaxPolicies;
    const NvThermalPoliciesInfo::Entry* acoustic = nullptr;
    for (uint32_t i = 0; i < count && acoustic == nullptr; ++i)
        if (info.entries[i].policyId == kAcousticPolicyId) acoustic = &info.entries[i];
    if (acoustic == nullptr) return kNvOk;

    // Compared in double before narrowing, so no float is converted out of int range.
    const double scaled = std::trunc(static_cast<double>(celsius) * 256.0);
    if (!std::isfinite(scaled) || scaled > acoustic->maxLimit || scaled < acoustic->minLimit) return kNvOk;

    NvThermalPoliciesStatus status;
    std::memset(&status, 0, sizeof status);
    status.version = kThermalPoliciesStatusTag;
    status.count = 1;
    status.entries[0].policyId = kAcousticPolicyId;
    status.entries[0].limit = static_cast<int32_t>(scaled);
    s = table.Library().ThermalPoliciesSetStatus(table.Board(gpu).gpuHandle, &status);
    if (s != kNvOk) return s;
    // Both records are read once more after a change; what they say is not needed here.
    NvThermalPoliciesInfo infoAfter;
    if (ReadInfo(table, gpu, &infoAfter) == kNvOk) {
        NvThermalPoliciesStatus statusAfter;
        ReadStatusFor(table, gpu, infoAfter, &statusAfter);
    }
    return kNvOk;
}

}  // namespace pyx
