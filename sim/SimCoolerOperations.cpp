// Legacy coolers and the fan-cooler interface of the simulated cards. A duty chip at slot 1
// sees what the GPU drives, so a library level change reaches it too.
#include <cstring>

#include "gpu/NvApiRecords.h"
#include "sim/SimFanChipSlot1.h"
#include "sim/SimOperationSupport.h"

namespace pyx::sim {

void RegisterCoolerOperations(SimOperationTable& table);

namespace {

using H = NvPhysicalGpuHandle;

constexpr uint32_t kAllCoolers = 7;
constexpr uint8_t kSlot1ChipAddress = 0x5C;

void FillV4(const SimCooler& c, NvCoolerSettingsV4::Cooler& out) {
    out.type = c.type;
    out.minLevel = c.minLevel;
    out.maxLevel = c.maxLevel;
    out.currentLevel = c.currentLevel;
    out.currentPolicy = c.policy;
}

// The older record has 64-byte entries; the words used keep their positions.
void FillV3(const SimCooler& c, uint8_t* entry) {
    const uint32_t words[9] = {c.type, 0, 0, 0, c.minLevel, c.maxLevel, c.currentLevel, 0, c.policy};
    std::memcpy(entry, words, sizeof words);
}

int32_t PYX_NVAPI_CALL GetCoolerSettings(H h, uint32_t coolerIndex, void* record) {
    SimCard* card = nullptr;
    if (const NvStatus s = EnterCard(NvOp::GetCoolerSettings, h, card); s != kNvOk) return s;
    if (record == nullptr) return kSimInvalidArgument;
    uint32_t version = 0;
    std::memcpy(&version, record, sizeof version);
    if (version != kCoolerSettingsV4Tag && version != kCoolerSettingsV3Tag) return kSimIncompatibleVersion;
    std::lock_guard lock(card->stateMutex);
    const auto& coolers = card->tuning.coolers;
    size_t first = 0;
    size_t count = coolers.size();
    if (coolerIndex != kAllCoolers) {
        if (coolerIndex >= coolers.size()) return kSimInvalidArgument;
        first = coolerIndex;
        count = 1;
    }
    if (version == kCoolerSettingsV4Tag) {
        auto* v4 = static_cast<NvCoolerSettingsV4*>(record);
        v4->count = static_cast<uint32_t>(count);
        for (size_t i = 0; i < count; ++i) FillV4(coolers[first + i], v4->cooler[i]);
    } else {
        auto* v3 = static_cast<NvCoolerSettingsV3*>(record);
        v3->count = static_cast<uint32_t>(count);
        for (size_t i = 0; i < count; ++i) FillV3(coolers[first + i], v3->coolers + i * 64);
    }
    return kNvOk;
}

// Manual policy takes the level; any other policy hands the cooler to automatic control.
NvStatus ApplyLevel(SimCooler& cooler, const NvCoolerLevels::Level& level) {
    if (level.policy == kSimCoolerPolicyManual) {
        if (level.level < cooler.minLevel || level.level > cooler.maxLevel) return kSimInvalidArgument;
        cooler.currentLevel = level.level;
        cooler.policy = kSimCoolerPolicyManual;
    } else {
        cooler.currentLevel = cooler.defaultLevel;
        cooler.policy = kSimCoolerPolicyAuto;
    }
    return kNvOk;
}

void DriveSlot1Chip(SimCard& card, uint32_t percent) {
    if (auto* chip = card.bus.DeviceAs<SimFanChipSlot1>(kSlot1ChipAddress)) chip->SetLibraryDutyPercent(percent);
}

// The level of the first fan, which is what drives the fan output.
int FirstFanLevel(const SimTuningState& t) {
    for (const auto& c : t.coolers)
        if (c.type == 1) return static_cast<int>(c.currentLevel);
    return -1;
}

int32_t PYX_NVAPI_CALL SetCoolerLevels(H h, uint32_t coolerIndex, NvCoolerLevels* record) {
    SimCard* card = nullptr;
    if (const NvStatus s = EnterCardRecord(NvOp::SetCoolerLevels, h, record, kCoolerLevelsTag, card); s != kNvOk)
        return s;
    int fanLevel = -1;
    {
        std::lock_guard lock(card->stateMutex);
        auto& coolers = card->tuning.coolers;
        if (coolerIndex == kAllCoolers) {
            for (size_t i = 0; i < coolers.size(); ++i) {
                SimCooler candidate = coolers[i];
                if (const NvStatus s = ApplyLevel(candidate, record->cooler[i]); s != kNvOk) return s;
            }
            for (size_t i = 0; i < coolers.size(); ++i) ApplyLevel(coolers[i], record->cooler[i]);
        } else {
            if (coolerIndex >= coolers.size()) return kSimInvalidArgument;
            if (const NvStatus s = ApplyLevel(coolers[coolerIndex], record->cooler[0]); s != kNvOk) return s;
        }
        fanLevel = FirstFanLevel(card->tuning);
    }
    if (fanLevel >= 0) DriveSlot1Chip(*card, static_cast<uint32_t>(fanLevel));
    return kNvOk;
}

int32_t PYX_NVAPI_CALL RestoreCoolerSettings(H h, uint32_t* coolerIndexes, uint32_t count) {
    SimCard* card = nullptr;
    if (const NvStatus s = EnterCard(NvOp::RestoreCoolerSettings, h, card); s != kNvOk) return s;
    int fanLevel = -1;
    {
        std::lock_guard lock(card->stateMutex);
        auto& coolers = card->tuning.coolers;
        if (coolerIndexes == nullptr || count == 0) {
            for (auto& c : coolers) ApplyLevel(c, {0, kSimCoolerPolicyAuto});
        } else {
            for (uint32_t i = 0; i < count; ++i)
                if (coolerIndexes[i] >= coolers.size()) return kSimInvalidArgument;
            for (uint32_t i = 0; i < count; ++i) ApplyLevel(coolers[coolerIndexes[i]], {0, kSimCoolerPolicyAuto});
        }
        fanLevel = FirstFanLevel(card->tuning);
    }
    if (fanLevel >= 0) DriveSlot1Chip(*card, static_cast<uint32_t>(fanLevel));
    return kNvOk;
}

int32_t PYX_NVAPI_CALL FanCoolersGetInfo(H h, NvFanCoolersInfo* record) {
    SimCard* card = nullptr;
    if (const NvStatus s = EnterCardRecord(NvOp::FanCoolersGetInfo, h, record, kFanCoolersInfoTag, card); s != kNvOk)
        return s;
    std::lock_guard lock(card->stateMutex);
    const auto& fans = card->tuning.fanCoolers;
    if (fans.empty()) return kNvNotSupported;
    record->flags = 1;
    record->count = static_cast<uint8_t>(fans.size());
    for (size_t i = 0; i < fans.size(); ++i) record->entries[i].coolerId = fans[i].id;
    return kNvOk;
}

int32_t PYX_NVAPI_CALL FanCoolersGetStatus(H h, NvFanCoolersStatus* record) {
    SimCard* card = nullptr;
    if (const NvStatus s = EnterCardRecord(NvOp::FanCoolersGetStatus, h, record, kFanCoolersStatusTag, card); s != kNvOk)
        return s;
    std::lock_guard lock(card->stateMutex);
    const auto& fans = card->tuning.fanCoolers;
    if (fans.empty()) return kNvNotSupported;
    record->count = static_cast<uint32_t>(fans.size());
    for (size_t i = 0; i < fans.size(); ++i) {
        auto& e = record->entries[i];
        e.coolerId = fans[i].id;
        e.currentRpm = fans[i].Rpm();
        e.currentMinLevel = fans[i].minLevel;
        e.currentMaxLevel = fans[i].maxLevel;
        e.currentLevel = fans[i].Level();
    }
    return kNvOk;
}

int32_t PYX_NVAPI_CALL FanCoolersSetControl(H h, NvFanCoolersControl* record) {
    SimCard* card = nullptr;
    if (const NvStatus s = EnterCardRecord(NvOp::FanCoolersSetControl, h, record, kFanCoolersControlTag, card); s != kNvOk)
        return s;
    std::lock_guard lock(card->stateMutex);
    auto& fans = card->tuning.fanCoolers;
    if (fans.empty()) return kNvNotSupported;
    if (record->count > 32) return kSimInvalidArgument;
    auto find = [&fans](uint32_t id) -> SimFanCooler* {
        for (auto& f : fans)
            if (f.id == id) return &f;
        return nullptr;
    };
    for (uint32_t i = 0; i < record->count; ++i) {
        const SimFanCooler* fan = find(record->entries[i].coolerId);
        if (fan == nullptr) return kSimInvalidArgument;
        if ((record->entries[i].flags & 1u) && record->entries[i].level > fan->maxLevel) return kSimInvalidArgument;
    }
    for (uint32_t i = 0; i < record->count; ++i) {
        SimFanCooler* fan = find(record->entries[i].coolerId);
        fan->manual = (record->entries[i].flags & 1u) != 0;
        if (fan->manual) fan->manualLevel = record->entries[i].level;
    }
    return kNvOk;
}

int32_t PYX_NVAPI_CALL FanCoolersGetControl(H h, NvFanCoolersControl* record) {
    SimCard* card = nullptr;
    if (const NvStatus s = EnterCardRecord(NvOp::FanCoolersGetControl, h, record, kFanCoolersControlTag, card); s != kNvOk)
        return s;
    std::lock_guard lock(card->stateMutex);
    const auto& fans = card->tuning.fanCoolers;
    if (fans.empty()) return kNvNotSupported;
    record->count = static_cast<uint32_t>(fans.size());
    for (size_t i = 0; i < fans.size(); ++i) {
        auto& e = record->entries[i];
        e.coolerId = fans[i].id;
        e.level = fans[i].Level();
        e.flags = fans[i].manual ? 1u : 0u;
    }
    return kNvOk;
}

template <typename Fn>
void* Address(Fn fn) { return reinterpret_cast<void*>(fn); }

}  // namespace

void RegisterCoolerOperations(SimOperationTable& table) {
    table[NvOpId(NvOp::GetCoolerSettings)] = Address(&GetCoolerSettings);
    table[NvOpId(NvOp::SetCoolerLevels)] = Address(&SetCoolerLevels);
    table[NvOpId(NvOp::RestoreCoolerSettings)] = Address(&RestoreCoolerSettings);
    table[NvOpId(NvOp::FanCoolersGetInfo)] = Address(&FanCoolersGetInfo);
    table[NvOpId(NvOp::FanCoolersGetStatus)] = Address(&FanCoolersGetStatus);
    table[NvOpId(NvOp::FanCoolersSetControl)] = Address(&FanCoolersSetControl);
    table[NvOpId(NvOp::FanCoolersGetControl)] = Address(&FanCoolersGetControl);
}

}  // namespace pyx::sim
