#include "gpu/linux/NvmlAnswers.h"

#include <array>
#include <cstring>

#include "gpu/DriverText.h"

namespace pyx {

namespace {

constexpr NvStatus kIncompatibleVersion = -9;
constexpr uint32_t kAllCoolers = 7;
constexpr uint32_t kCoolerPolicyManual = 1;
constexpr uint32_t kCoolerPolicyAuto = 0x20;
constexpr uint32_t kAcousticPolicyId = 1;
constexpr int64_t kPcmPerDefault = 100000;  // the default limit is 100 %

template <typename Record>
void ClearAfterVersion(Record* record) {
    std::memset(reinterpret_cast<uint8_t*>(record) + sizeof(uint32_t), 0, sizeof *record - sizeof(uint32_t));
}

// Powers: milliwatts <-> thousandths of a percent of the default limit, rounded to nearest
// so a value read back is the value written.
uint32_t ToPcm(unsigned milliwatts, unsigned defaultMilliwatts) {
    return static_cast<uint32_t>((static_cast<int64_t>(milliwatts) * kPcmPerDefault + defaultMilliwatts / 2) /
                                 defaultMilliwatts);
}
unsigned ToMilliwatts(uint32_t pcm, unsigned defaultMilliwatts) {
    return static_cast<unsigned>((static_cast<int64_t>(pcm) * defaultMilliwatts + kPcmPerDefault / 2) / kPcmPerDefault);
}

NvStatus FanCount(NvmlLibrary& nvml, NvmlLibrary::Device device, unsigned& count) {
    count = 0;
    return NvmlAnswers::FromNvml(nvml.GetNumFans(device, &count));
}

// One fan as a legacy cooler entry.
NvStatus FillCooler(NvmlLibrary& nvml, NvmlLibrary::Device device, unsigned fan, NvCoolerSettingsV4::Cooler& out) {
    unsigned minLevel = 0, maxLevel = 100, level = 0, policy = NvmlLibrary::kFanPolicyAuto;
    if (nvml.GetMinMaxFanSpeed) nvml.GetMinMaxFanSpeed(device, &minLevel, &maxLevel);
    if (const NvStatus s = NvmlAnswers::FromNvml(nvml.GetFanSpeed(device, fan, &level)); s != kNvOk) return s;
    if (nvml.GetFanControlPolicy) nvml.GetFanControlPolicy(device, fan, &policy);
    out.type = 1;
    out.minLevel = minLevel;
    out.maxLevel = maxLevel;
    out.currentLevel = level;
    out.currentPolicy = policy == NvmlLibrary::kFanPolicyManual ? kCoolerPolicyManual : kCoolerPolicyAuto;
    return kNvOk;
}

}  // namespace

NvStatus NvmlAnswers::FromNvml(NvmlLibrary::Return code) {
    switch (code) {
    case NvmlLibrary::kSuccess: return kNvOk;
    case NvmlLibrary::kInvalidArgument: return kNvInvalidArgument;
    case NvmlLibrary::kNotSupported: return kNvNotSupported;
    case NvmlLibrary::kNoPermission: return kNvNoPermission;
    default: return kNvFailed;
    }
}

std::optional<std::string> NvmlAnswers::Name(NvmlLibrary& nvml, Device device) {
    if (!nvml.GetName) return std::nullopt;
    std::array<char, NvmlLibrary::kDeviceNameBytes> name{};
    if (nvml.GetName(device, name.data(), NvmlLibrary::kDeviceNameBytes) != NvmlLibrary::kSuccess) return std::nullopt;
    return DriverText::FromBuffer(name.data(), name.size());
}

// ---- clock offsets ---------------------------------------------------------------------

std::optional<NvStatus> NvmlAnswers::GetPstates20(NvmlLibrary& nvml, Device device, NvPstates20* record) {
    if (!nvml.GetGpcClkVfOffset || !nvml.GetGpcClkMinMaxVfOffset) return std::nullopt;
    if (record == nullptr) return kNvInvalidArgument;
    if (record->version != kPstates20GetTag) return kIncompatibleVersion;
    struct Domain {
        uint32_t id;
        NvmlLibrary::Return (*get)(Device, int*);
        NvmlLibrary::Return (*range)(Device, int*, int*);
    };
    const Domain domains[] = {{kDomainGraphics, nvml.GetGpcClkVfOffset, nvml.GetGpcClkMinMaxVfOffset},
                              {kDomainMemory, nvml.GetMemClkVfOffset, nvml.GetMemClkMinMaxVfOffset}};
    NvPstates20 answer;
    std::memset(&answer, 0, sizeof answer);
    answer.version = record->version;
    answer.numPstates = 1;
    answer.pstates[0].pstateId = 0;
    uint32_t clocks = 0;
    for (const Domain& d : domains) {
        if (!d.get || !d.range) continue;
        int offset = 0, minOffset = 0, maxOffset = 0;
        if (const NvStatus s = FromNvml(d.get(device, &offset)); s != kNvOk) return s;
        if (const NvStatus s = FromNvml(d.range(device, &minOffset, &maxOffset)); s != kNvOk) return s;
        NvPstates20::Clock& clock = answer.pstates[0].clocks[clocks++];
        clock.domainId = d.id;
        clock.typeId = 0;
        clock.flags = 1;  // editable
        clock.freqDelta_kHz = {offset * 1000, minOffset * 1000, maxOffset * 1000};
    }
    answer.numClocks = clocks;
    std::memcpy(record, &answer, sizeof answer);
    return kNvOk;
}

std::optional<NvStatus> NvmlAnswers::SetPstates20(NvmlLibrary& nvml, Device device, const NvPstates20* record) {
    if (!nvml.SetGpcClkVfOffset) return std::nullopt;
    if (record == nullptr) return kNvInvalidArgument;
    if (record->version != kPstates20SetTag) return kIncompatibleVersion;
    if (record->numPstates > 16 || record->numClocks > 8) return kNvInvalidArgument;
    for (uint32_t p = 0; p < record->numPstates; ++p) {
        // NVML offsets apply to the whole curve, which is what an offset of P0 means.
        if (record->pstates[p].pstateId != 0) return kNvNotSupported;
        for (uint32_t c = 0; c < record->numClocks; ++c) {
            const NvPstates20::Clock& clock = record->pstates[p].clocks[c];
            const int mhz = clock.freqDelta_kHz.value / 1000;
            NvmlLibrary::Return code = NvmlLibrary::kNotSupported;
            if (clock.domainId == kDomainGraphics)
                code = nvml.SetGpcClkVfOffset(device, mhz);
            else if (clock.domainId == kDomainMemory && nvml.SetMemClkVfOffset)
                code = nvml.SetMemClkVfOffset(device, mhz);
            if (const NvStatus s = FromNvml(code); s != kNvOk) return s;
        }
    }
    return kNvOk;
}

// ---- power target ----------------------------------------------------------------------

std::optional<NvStatus> NvmlAnswers::PowerInfo(NvmlLibrary& nvml, Device device, NvPowerPoliciesInfo* record) {
    if (!nvml.GetPowerDefaultLimit || !nvml.GetPowerLimitConstraints) return std::nullopt;
    if (record == nullptr) return kNvInvalidArgument;
    if (record->version != kPowerPoliciesInfoTag) return kIncompatibleVersion;
    unsigned defaultMw = 0, minMw = 0, maxMw = 0;
    if (const NvStatus s = FromNvml(nvml.GetPowerDefaultLimit(device, &defaultMw)); s != kNvOk) return s;
    if (const NvStatus s = FromNvml(nvml.GetPowerLimitConstraints(device, &minMw, &maxMw)); s != kNvOk) return s;
    if (defaultMw == 0) return kNvNotSupported;
    ClearAfterVersion(record);
    record->flags = 1;
    record->count = 1;
    record->entries[0].minPowerPcm = ToPcm(minMw, defaultMw);
    record->entries[0].defaultPowerPcm = static_cast<uint32_t>(kPcmPerDefault);
    record->entries[0].maxPowerPcm = ToPcm(maxMw, defaultMw);
    return kNvOk;
}

std::optional<NvStatus> NvmlAnswers::PowerStatus(NvmlLibrary& nvml, Device device, NvPowerPoliciesStatus* record) {
    if (!nvml.GetPowerDefaultLimit || !nvml.GetPowerLimit) return std::nullopt;
    if (record == nullptr) return kNvInvalidArgument;
    if (record->version != kPowerPoliciesStatusTag) return kIncompatibleVersion;
    unsigned defaultMw = 0, limitMw = 0;
    if (const NvStatus s = FromNvml(nvml.GetPowerDefaultLimit(device, &defaultMw)); s != kNvOk) return s;
    if (const NvStatus s = FromNvml(nvml.GetPowerLimit(device, &limitMw)); s != kNvOk) return s;
    if (defaultMw == 0) return kNvNotSupported;
    ClearAfterVersion(record);
    record->count = 1;
    record->entries[0].powerPcm = ToPcm(limitMw, defaultMw);
    return kNvOk;
}

std::optional<NvStatus> NvmlAnswers::SetPowerStatus(NvmlLibrary& nvml, Device device,
                                                    const NvPowerPoliciesStatus* record) {
    if (!nvml.GetPowerDefaultLimit || !nvml.SetPowerLimit) return std::nullopt;
    if (record == nullptr) return kNvInvalidArgument;
    if (record->version != kPowerPoliciesStatusTag) return kIncompatibleVersion;
    if (record->count < 1) return kNvInvalidArgument;
    unsigned defaultMw = 0;
    if (const NvStatus s = FromNvml(nvml.GetPowerDefaultLimit(device, &defaultMw)); s != kNvOk) return s;
    if (defaultMw == 0) return kNvNotSupported;
    return FromNvml(nvml.SetPowerLimit(device, ToMilliwatts(record->entries[0].powerPcm, defaultMw)));
}

// ---- thermal target --------------------------------------------------------------------

std::optional<NvStatus> NvmlAnswers::ThermalInfo(NvmlLibrary& nvml, Device device, NvmlCardMemory& memory,
                                                 NvThermalPoliciesInfo* record) {
    if (!nvml.GetTemperatureThreshold) return std::nullopt;
    if (record == nullptr) return kNvInvalidArgument;
    if (record->version != kThermalPoliciesInfoTag) return kIncompatibleVersion;
    unsigned minC = 0, maxC = 0, currentC = 0;
    NvStatus s = FromNvml(nvml.GetTemperatureThreshold(device, NvmlLibrary::kThresholdAcousticMin, &minC));
    if (s == kNvOk) s = FromNvml(nvml.GetTemperatureThreshold(device, NvmlLibrary::kThresholdAcousticMax, &maxC));
    if (s == kNvOk) s = FromNvml(nvml.GetTemperatureThreshold(device, NvmlLibrary::kThresholdAcousticCurr, &currentC));
    ClearAfterVersion(record);
    // A card without an acoustic target has no thermal policy to offer.
    if (s == kNvNotSupported) return kNvOk;
    if (s != kNvOk) return s;
    if (!memory.thermalDefaultCelsius) memory.thermalDefaultCelsius = static_cast<int32_t>(currentC);
    record->flags = 1;
    record->count = 1;
    auto& entry = record->entries[0];
    entry.policyId = kAcousticPolicyId;
    entry.minLimit = static_cast<int32_t>(minC) * 256;
    entry.defaultLimit = *memory.thermalDefaultCelsius * 256;
    entry.maxLimit = static_cast<int32_t>(maxC) * 256;
    entry.flags = 1;
    return kNvOk;
}

std::optional<NvStatus> NvmlAnswers::ThermalStatus(NvmlLibrary& nvml, Device device, NvThermalPoliciesStatus* record) {
    if (!nvml.GetTemperatureThreshold) return std::nullopt;
    if (record == nullptr) return kNvInvalidArgument;
    if (record->version != kThermalPoliciesStatusTag) return kIncompatibleVersion;
    if (record->count > 4) return kNvInvalidArgument;
    for (uint32_t i = 0; i < record->count; ++i) {
        if (record->entries[i].policyId != kAcousticPolicyId) return kNvInvalidArgument;
        unsigned currentC = 0;
        const NvStatus s =
            FromNvml(nvml.GetTemperatureThreshold(device, NvmlLibrary::kThresholdAcousticCurr, &currentC));
        if (s != kNvOk) return s;
        record->entries[i].limit = static_cast<int32_t>(currentC) * 256;
        record->entries[i].flags = 0;
    }
    return kNvOk;
}

std::optional<NvStatus> NvmlAnswers::SetThermalStatus(NvmlLibrary& nvml, Device device,
                                                      const NvThermalPoliciesStatus* record) {
    if (!nvml.SetTemperatureThreshold) return std::nullopt;
    if (record == nullptr) return kNvInvalidArgument;
    if (record->version != kThermalPoliciesStatusTag) return kIncompatibleVersion;
    if (record->count < 1 || record->count > 4) return kNvInvalidArgument;
    for (uint32_t i = 0; i < record->count; ++i)
        if (record->entries[i].policyId != kAcousticPolicyId) return kNvInvalidArgument;
    for (uint32_t i = 0; i < record->count; ++i) {
        int celsius = record->entries[i].limit / 256;
        const NvStatus s =
            FromNvml(nvml.SetTemperatureThreshold(device, NvmlLibrary::kThresholdAcousticCurr, &celsius));
        if (s != kNvOk) return s;
    }
    return kNvOk;
}

// ---- fans --------------------------------------------------------------------------------

std::optional<NvStatus> NvmlAnswers::CoolerSettings(NvmlLibrary& nvml, Device device, uint32_t coolerIndex,
                                                    void* record) {
    if (!nvml.GetNumFans || !nvml.GetFanSpeed) return std::nullopt;
    if (record == nullptr) return kNvInvalidArgument;
    uint32_t version = 0;
    std::memcpy(&version, record, sizeof version);
    if (version != kCoolerSettingsV4Tag && version != kCoolerSettingsV3Tag) return kIncompatibleVersion;
    unsigned fans = 0;
    if (const NvStatus s = FanCount(nvml, device, fans); s != kNvOk) return s;
    unsigned first = 0;
    unsigned count = fans < 20 ? fans : 20;
    if (coolerIndex != kAllCoolers) {
        if (coolerIndex >= fans) return kNvInvalidArgument;
        first = coolerIndex;
        count = 1;
    }
    if (version == kCoolerSettingsV3Tag) {
        auto* v3 = static_cast<NvCoolerSettingsV3*>(record);
        ClearAfterVersion(v3);
        v3->count = count;
        return kNvOk;
    }
    NvCoolerSettingsV4 answer;
    std::memset(&answer, 0, sizeof answer);
    answer.version = version;
    answer.count = count;
    for (unsigned i = 0; i < count; ++i)
        if (const NvStatus s = FillCooler(nvml, device, first + i, answer.cooler[i]); s != kNvOk) return s;
    std::memcpy(record, &answer, sizeof answer);
    return kNvOk;
}

std::optional<NvStatus> NvmlAnswers::SetCoolerLevels(NvmlLibrary& nvml, Device device, uint32_t coolerIndex,
                                                     const NvCoolerLevels* record) {
    if (!nvml.GetNumFans || !nvml.SetFanSpeed || !nvml.SetDefaultFanSpeed) return std::nullopt;
    if (record == nullptr) return kNvInvalidArgument;
    if (record->version != kCoolerLevelsTag) return kIncompatibleVersion;
    unsigned fans = 0;
    if (const NvStatus s = FanCount(nvml, device, fans); s != kNvOk) return s;
    const auto apply = [&](unsigned fan, const NvCoolerLevels::Level& level) {
        return FromNvml(level.policy == kCoolerPolicyManual ? nvml.SetFanSpeed(device, fan, level.level)
                                                            : nvml.SetDefaultFanSpeed(device, fan));
    };
    if (coolerIndex == kAllCoolers) {
        for (unsigned fan = 0; fan < fans && fan < 20; ++fan)
            if (const NvStatus s = apply(fan, record->cooler[fan]); s != kNvOk) return s;
        return kNvOk;
    }
    if (coolerIndex >= fans) return kNvInvalidArgument;
    return apply(coolerIndex, record->cooler[0]);
}

std::optional<NvStatus> NvmlAnswers::RestoreCoolers(NvmlLibrary& nvml, Device device, const uint32_t* indexes,
                                                    uint32_t count) {
    if (!nvml.GetNumFans || !nvml.SetDefaultFanSpeed) return std::nullopt;
    unsigned fans = 0;
    if (const NvStatus s = FanCount(nvml, device, fans); s != kNvOk) return s;
    if (indexes == nullptr || count == 0) {
        for (unsigned fan = 0; fan < fans; ++fan)
            if (const NvStatus s = FromNvml(nvml.SetDefaultFanSpeed(device, fan)); s != kNvOk) return s;
        return kNvOk;
    }
    for (uint32_t i = 0; i < count; ++i)
        if (indexes[i] >= fans) return kNvInvalidArgument;
    for (uint32_t i = 0; i < count; ++i)
        if (const NvStatus s = FromNvml(nvml.SetDefaultFanSpeed(device, indexes[i])); s != kNvOk) return s;
    return kNvOk;
}

std::optional<NvStatus> NvmlAnswers::FanCoolersInfo(NvmlLibrary& nvml, Device device, NvFanCoolersInfo* record) {
    if (!nvml.GetNumFans) return std::nullopt;
    if (record == nullptr) return kNvInvalidArgument;
    if (record->version != kFanCoolersInfoTag) return kIncompatibleVersion;
    unsigned fans = 0;
    if (const NvStatus s = FanCount(nvml, device, fans); s != kNvOk) return s;
    ClearAfterVersion(record);
    record->flags = fans > 0 ? 1u : 0u;
    record->count = static_cast<uint8_t>(fans < 32 ? fans : 32);
    for (unsigned i = 0; i < record->count; ++i) record->entries[i].coolerId = i + 1;
    return kNvOk;
}

std::optional<NvStatus> NvmlAnswers::FanCoolersStatus(NvmlLibrary& nvml, Device device, NvFanCoolersStatus* record) {
    if (!nvml.GetNumFans || !nvml.GetFanSpeed) return std::nullopt;
    if (record == nullptr) return kNvInvalidArgument;
    if (record->version != kFanCoolersStatusTag) return kIncompatibleVersion;
    unsigned fans = 0;
    if (const NvStatus s = FanCount(nvml, device, fans); s != kNvOk) return s;
    unsigned minLevel = 0, maxLevel = 100;
    if (nvml.GetMinMaxFanSpeed) nvml.GetMinMaxFanSpeed(device, &minLevel, &maxLevel);
    NvFanCoolersStatus answer;
    std::memset(&answer, 0, sizeof answer);
    answer.version = record->version;
    answer.count = fans < 32 ? fans : 32;
    for (unsigned i = 0; i < answer.count; ++i) {
        unsigned level = 0;
        if (const NvStatus s = FromNvml(nvml.GetFanSpeed(device, i, &level)); s != kNvOk) return s;
        answer.entries[i].coolerId = i + 1;
        answer.entries[i].currentMinLevel = minLevel;
        answer.entries[i].currentMaxLevel = maxLevel;
        answer.entries[i].currentLevel = level;
    }
    std::memcpy(record, &answer, sizeof answer);
    return kNvOk;
}

std::optional<NvStatus> NvmlAnswers::FanCoolersControl(NvmlLibrary& nvml, Device device,
                                                       const NvFanCoolersControl* record) {
    if (!nvml.GetNumFans || !nvml.SetFanSpeed || !nvml.SetDefaultFanSpeed) return std::nullopt;
    if (record == nullptr) return kNvInvalidArgument;
    if (record->version != kFanCoolersControlTag) return kIncompatibleVersion;
    unsigned fans = 0;
    if (const NvStatus s = FanCount(nvml, device, fans); s != kNvOk) return s;
    if (record->count > 32) return kNvInvalidArgument;
    for (uint32_t i = 0; i < record->count; ++i)
        if (record->entries[i].coolerId < 1 || record->entries[i].coolerId > fans) return kNvInvalidArgument;
    for (uint32_t i = 0; i < record->count; ++i) {
        const auto& entry = record->entries[i];
        const unsigned fan = entry.coolerId - 1;
        const NvStatus s = FromNvml((entry.flags & 1u) != 0 ? nvml.SetFanSpeed(device, fan, entry.level)
                                                            : nvml.SetDefaultFanSpeed(device, fan));
        if (s != kNvOk) return s;
    }
    return kNvOk;
}

std::optional<NvStatus> NvmlAnswers::FanCoolersControlRead(NvmlLibrary& nvml, Device device,
                                                           NvFanCoolersControl* record) {
    // Without the policy read nothing can tell a fixed fan from one the card drives.
    if (!nvml.GetNumFans || !nvml.GetFanSpeed || !nvml.GetFanControlPolicy) return std::nullopt;
    if (record == nullptr) return kNvInvalidArgument;
    if (record->version != kFanCoolersControlTag) return kIncompatibleVersion;
    unsigned fans = 0;
    if (const NvStatus s = FanCount(nvml, device, fans); s != kNvOk) return s;
    NvFanCoolersControl answer;
    std::memset(&answer, 0, sizeof answer);
    answer.version = record->version;
    answer.count = fans < 32 ? fans : 32;
    for (unsigned i = 0; i < answer.count; ++i) {
        unsigned level = 0;
        unsigned policy = NvmlLibrary::kFanPolicyAuto;
        if (const NvStatus s = FromNvml(nvml.GetFanSpeed(device, i, &level)); s != kNvOk) return s;
        if (const NvStatus s = FromNvml(nvml.GetFanControlPolicy(device, i, &policy)); s != kNvOk) return s;
        answer.entries[i].coolerId = i + 1;
        answer.entries[i].level = level;
        answer.entries[i].flags = policy == NvmlLibrary::kFanPolicyManual ? 1u : 0u;
    }
    std::memcpy(record, &answer, sizeof answer);
    return kNvOk;
}

}  // namespace pyx
