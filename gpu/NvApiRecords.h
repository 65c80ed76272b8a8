#pragma once
// Records exchanged with the GPU library. Every record starts with its version tag,
// sizeof(record) | (structure version << 16), and is zero-filled before use. Layouts use
// fixed-width types; where only some fields are known the rest are reserved bytes, so the
// sizes (and hence the tags) stay those the library expects.
#include <cstddef>
#include <cstdint>

namespace pyx {

constexpr uint32_t MakeTag(size_t size, uint32_t version) {
    return static_cast<uint32_t>(size) | (version << 16);
}

using NvPhysicalGpuHandle = void*;
inline constexpr int kNvMaxPhysicalGpus = 64;

// ---- I2C -------------------------------------------------------------------------------
// The library reads pbI2cRegAddress and pbData through these pointers, so in a 64-bit build
// the record has the native (larger) size and the tags differ from the 32-bit ones.
struct NvI2cRequestV3 {
    uint32_t version;
    uint32_t displayMask;
    uint8_t bIsDDCPort;
    uint8_t i2cDevAddress;
    uint8_t pad0[2];
    uint8_t* pbI2cRegAddress;
    uint32_t regAddrSize;
    uint8_t* pbData;
    uint32_t cbSize;
    uint32_t i2cSpeed;
    // Version 3 from here.
    uint32_t i2cSpeedKhz;
    uint8_t portId;
    uint8_t pad1[3];
    uint32_t bIsPortIdSet;
};
inline constexpr size_t kI2cRequestV1Size = offsetof(NvI2cRequestV3, i2cSpeedKhz);
inline constexpr uint32_t kI2cRequestV1Tag = MakeTag(kI2cRequestV1Size, 1);
inline constexpr uint32_t kI2cRequestV3Tag = MakeTag(sizeof(NvI2cRequestV3), 3);
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(offsetof(NvI2cRequestV3, displayMask) == 4);
static_assert(offsetof(NvI2cRequestV3, bIsDDCPort) == 8);
static_assert(offsetof(NvI2cRequestV3, i2cDevAddress) == 9);
static_assert(offsetof(NvI2cRequestV3, pbI2cRegAddress) == 12);
static_assert(offsetof(NvI2cRequestV3, regAddrSize) == 16);
static_assert(offsetof(NvI2cRequestV3, pbData) == 20);
static_assert(offsetof(NvI2cRequestV3, cbSize) == 24);
static_assert(offsetof(NvI2cRequestV3, i2cSpeed) == 28);
static_assert(offsetof(NvI2cRequestV3, portId) == 36);
static_assert(offsetof(NvI2cRequestV3, bIsPortIdSet) == 40);
static_assert(kI2cRequestV1Tag == 0x10020 && kI2cRequestV3Tag == 0x3002C);
#else
static_assert(offsetof(NvI2cRequestV3, pbI2cRegAddress) == 16);
static_assert(offsetof(NvI2cRequestV3, pbData) == 32);
static_assert(kI2cRequestV1Size == 48 && sizeof(NvI2cRequestV3) == 64);
static_assert(kI2cRequestV1Tag == 0x10030 && kI2cRequestV3Tag == 0x30040);
#endif

// ---- Clocks ----------------------------------------------------------------------------
inline constexpr uint32_t kClockTypeCurrent = 0;
inline constexpr uint32_t kClockTypeBase = 1;
inline constexpr uint32_t kClockTypeBoost = 2;
inline constexpr uint32_t kDomainGraphics = 0;
inline constexpr uint32_t kDomainMemory = 4;
inline constexpr uint32_t kDomainProcessor = 7;

struct NvClockFrequencies {
    uint32_t version;
    uint32_t clockType;  // low 4 bits: current, base or boost
    struct Domain {
        uint32_t present;  // bit 0
        uint32_t frequencyKHz;
    } domain[32];
};
inline constexpr uint32_t kClockFrequenciesTag = MakeTag(sizeof(NvClockFrequencies), 3);
static_assert(kClockFrequenciesTag == 0x30108);

// Legacy performance levels: the program reads the level count, each level's flags and its
// 28-byte domain entries (domain id, then two clock values); entries past domainCount are unused.
struct NvPerfLevels {
    uint32_t version;
    uint32_t levelCount;
    struct Level {
        uint32_t flags;
        uint32_t domainCount;
        uint32_t reserved[4];
        struct Domain {
            uint32_t domainId;
            uint32_t clockKHz;
            uint32_t clock2KHz;
            uint32_t reserved[4];
        } domain[25];
    } level[15];
};
static_assert(sizeof(NvPerfLevels::Level::Domain) == 28);
inline constexpr uint32_t kPerfLevelsTag = MakeTag(sizeof(NvPerfLevels), 2);
static_assert(kPerfLevelsTag == 0x22A74);

// ---- Coolers ---------------------------------------------------------------------------
struct NvCoolerSettingsV4 {
    uint32_t version;
    uint32_t count;
    struct Cooler {
        uint32_t type;  // 1 = fan
        uint32_t reserved1[3];
        uint32_t minLevel;
        uint32_t maxLevel;
        uint32_t currentLevel;
        uint32_t reserved2;
        uint32_t currentPolicy;  // 1 = manual
        uint32_t reserved3[8];
    } cooler[20];
};
static_assert(sizeof(NvCoolerSettingsV4::Cooler) == 68);
static_assert(offsetof(NvCoolerSettingsV4, cooler) == 8);
static_assert(offsetof(NvCoolerSettingsV4::Cooler, minLevel) == 16);
static_assert(offsetof(NvCoolerSettingsV4::Cooler, maxLevel) == 20);
static_assert(offsetof(NvCoolerSettingsV4::Cooler, currentLevel) == 24);
static_assert(offsetof(NvCoolerSettingsV4::Cooler, currentPolicy) == 32);
inline constexpr uint32_t kCoolerSettingsV4Tag = MakeTag(sizeof(NvCoolerSettingsV4), 4);
static_assert(kCoolerSettingsV4Tag == 0x40558);

// The older form the fan path reads back after a set; only its tag and size matter.
struct NvCoolerSettingsV3 {
    uint32_t version;
    uint32_t count;
    uint8_t coolers[20 * 64];
};
inline constexpr uint32_t kCoolerSettingsV3Tag = MakeTag(sizeof(NvCoolerSettingsV3), 3);
static_assert(kCoolerSettingsV3Tag == 0x30508);

struct NvCoolerLevels {
    uint32_t version;
    struct Level {
        uint32_t level;
        uint32_t policy;
    } cooler[20];
};
static_assert(offsetof(NvCoolerLevels, cooler) == 4);
inline constexpr uint32_t kCoolerLevelsTag = MakeTag(sizeof(NvCoolerLevels), 1);
static_assert(kCoolerLevelsTag == 0x100A4);

// ---- P-states 2.0 ----------------------------------------------------------------------
struct NvPstates20 {
    struct Delta {
        int32_t value;
        int32_t minValue;
        int32_t maxValue;
    };
    struct Clock {
        uint32_t domainId;
        uint32_t typeId;
        uint32_t flags;  // bit 0: editable
        Delta freqDelta_kHz;
        uint32_t data[5];  // single frequency, or min/max frequency, voltage domain, min/max voltage
    };
    struct BaseVoltage {
        uint32_t domainId;
        uint32_t flags;
        uint32_t volt_uV;
        Delta voltDelta_uV;
    };
    struct Pstate {
        uint32_t pstateId;
        uint32_t flags;
        Clock clocks[8];
        BaseVoltage baseVoltages[4];
    };
    uint32_t version;
    uint32_t flags;
    uint32_t numPstates;
    uint32_t numClocks;
    uint32_t numBaseVoltages;
    Pstate pstates[16];
    // Over-voltage part, present in the read form only.
    uint32_t numVoltages;
    BaseVoltage voltages[4];
};
static_assert(sizeof(NvPstates20::Clock) == 44);
static_assert(sizeof(NvPstates20::Pstate) == 456);
// The set form is the same record without the over-voltage tail.
inline constexpr size_t kPstates20SetSize = offsetof(NvPstates20, numVoltages);
inline constexpr uint32_t kPstates20GetTag = MakeTag(sizeof(NvPstates20), 3);
inline constexpr uint32_t kPstates20SetTag = MakeTag(kPstates20SetSize, 1);
static_assert(kPstates20GetTag == 0x31CF8 && kPstates20SetTag == 0x11C94);

// ---- Utilisation and thermal sensors ---------------------------------------------------
struct NvDynamicPstatesInfo {
    uint32_t version;
    uint32_t flags;
    struct Utilization {
        uint32_t present;
        uint32_t percentage;
    } utilization[8];
};
inline constexpr uint32_t kDynamicPstatesTag = MakeTag(sizeof(NvDynamicPstatesInfo), 1);
static_assert(kDynamicPstatesTag == 0x10048);

inline constexpr uint32_t kThermalTargetGpu = 1;
struct NvThermalSettings {
    uint32_t version;
    uint32_t count;
    struct Sensor {
        int32_t controller;
        int32_t defaultMinTemp;
        int32_t defaultMaxTemp;
        int32_t currentTemp;
        uint32_t target;  // 1 = the GPU
    } sensor[3];
};
inline constexpr uint32_t kThermalSettingsTag = MakeTag(sizeof(NvThermalSettings), 2);
static_assert(kThermalSettingsTag == 0x20044);

// ---- Thermal policies ------------------------------------------------------------------
struct NvThermalPoliciesInfo {
    uint32_t version;
    uint8_t flags;  // bit 0: policies supported
    uint8_t count;
    uint8_t pad[2];
    struct Entry {
        uint32_t policyId;
        uint32_t reserved1[2];
        int32_t minLimit;      // 1/256 degrees C
        int32_t defaultLimit;
        int32_t maxLimit;
        uint32_t flags;        // bit 0: acoustic preference available
        uint8_t reserved2[320];
    } entries[4];
};
static_assert(sizeof(NvThermalPoliciesInfo::Entry) == 348);
static_assert(offsetof(NvThermalPoliciesInfo, entries) == 8);
static_assert(offsetof(NvThermalPoliciesInfo::Entry, minLimit) == 12);
static_assert(offsetof(NvThermalPoliciesInfo::Entry, defaultLimit) == 16);
static_assert(offsetof(NvThermalPoliciesInfo::Entry, maxLimit) == 20);
static_assert(offsetof(NvThermalPoliciesInfo::Entry, flags) == 24);
inline constexpr uint32_t kThermalPoliciesInfoTag = MakeTag(sizeof(NvThermalPoliciesInfo), 3);
static_assert(kThermalPoliciesInfoTag == 0x30578);

struct NvThermalPoliciesStatus {
    uint32_t version;
    uint32_t count;
    struct Entry {
        uint32_t policyId;
        uint32_t reserved1;
        int32_t limit;   // 1/256 degrees C
        uint32_t flags;  // bit 0: prefer acoustics
        uint8_t reserved2[320];
    } entries[4];
};
static_assert(sizeof(NvThermalPoliciesStatus::Entry) == 336);
static_assert(offsetof(NvThermalPoliciesStatus, entries) == 8);
static_assert(offsetof(NvThermalPoliciesStatus::Entry, limit) == 8);
static_assert(offsetof(NvThermalPoliciesStatus::Entry, flags) == 12);
inline constexpr uint32_t kThermalPoliciesStatusTag = MakeTag(sizeof(NvThermalPoliciesStatus), 3);
static_assert(kThermalPoliciesStatusTag == 0x30548);

// ---- Power policies --------------------------------------------------------------------
// Powers are thousandths of a percent. The default power of the first policy is the
// 32-bit word at byte 36, which the program keeps as the board's power-policy word.
struct NvPowerPoliciesInfo {
    uint32_t version;
    uint8_t flags;
    uint8_t count;
    uint8_t pad[2];
    struct Entry {
        uint32_t pstateId;
        uint32_t reserved1[2];
        uint32_t minPowerPcm;
        uint32_t reserved2[3];
        uint32_t defaultPowerPcm;
        uint32_t reserved3[3];
        uint32_t maxPowerPcm;
        uint32_t reserved4[2];
    } entries[40];
};
static_assert(sizeof(NvPowerPoliciesInfo::Entry) == 56);
static_assert(offsetof(NvPowerPoliciesInfo, entries) + offsetof(NvPowerPoliciesInfo::Entry, defaultPowerPcm) == 36);
inline constexpr uint32_t kPowerPoliciesInfoTag = MakeTag(sizeof(NvPowerPoliciesInfo), 2);
static_assert(kPowerPoliciesInfoTag == 0x208C8);

struct NvPowerPoliciesStatus {
    uint32_t version;
    uint32_t count;
    struct Entry {
        uint32_t policyId;
        uint32_t reserved1;
        uint32_t powerPcm;
        uint32_t reserved2;
    } entries[85];
};
static_assert(offsetof(NvPowerPoliciesStatus, entries) == 8);
inline constexpr uint32_t kPowerPoliciesStatusTag = MakeTag(sizeof(NvPowerPoliciesStatus), 2);
static_assert(kPowerPoliciesStatusTag == 0x20558);

// ---- Lighting tick ---------------------------------------------------------------------
struct NvLightingTick {
    uint32_t version;
    uint32_t words[3];  // 20, 0, 1
};
inline constexpr uint32_t kLightingTickTag = MakeTag(sizeof(NvLightingTick), 1);
static_assert(kLightingTickTag == 0x10010);

// ---- Fan coolers -----------------------------------------------------------------------
struct NvFanCoolersInfo {
    uint32_t version;
    uint32_t flags;  // bit 0: supported
    uint8_t count;
    uint8_t reserved[35];
    struct Entry {
        uint32_t coolerId;
        uint32_t reserved[11];
    } entries[32];
};
static_assert(sizeof(NvFanCoolersInfo::Entry) == 48);
static_assert(offsetof(NvFanCoolersInfo, count) == 8);
static_assert(offsetof(NvFanCoolersInfo, entries) == 44);
inline constexpr uint32_t kFanCoolersInfoTag = MakeTag(sizeof(NvFanCoolersInfo), 1);
static_assert(kFanCoolersInfoTag == 0x1062C);

struct NvFanCoolersStatus {
    uint32_t version;
    uint32_t count;
    uint32_t reserved[8];
    struct Entry {
        uint32_t coolerId;
        uint32_t currentRpm;
        uint32_t currentMinLevel;
        uint32_t currentMaxLevel;
        uint32_t currentLevel;
        uint32_t reserved[8];
    } entries[32];
};
static_assert(sizeof(NvFanCoolersStatus::Entry) == 52);
inline constexpr uint32_t kFanCoolersStatusTag = MakeTag(sizeof(NvFanCoolersStatus), 1);
static_assert(kFanCoolersStatusTag == 0x106A8);

struct NvFanCoolersControl {
    uint32_t version;
    uint32_t reserved1;
    uint32_t count;
    uint32_t reserved2[8];
    struct Entry {
        uint32_t coolerId;
        uint32_t level;
        uint32_t flags;  // bit 0: manual
        uint32_t reserved[8];
    } entries[32];
};
static_assert(offsetof(NvFanCoolersControl, count) == 8);
static_assert(offsetof(NvFanCoolersControl, entries) == 44);
inline constexpr uint32_t kFanCoolersControlTag = MakeTag(sizeof(NvFanCoolersControl), 1);
static_assert(kFanCoolersControlTag == 0x105AC);

// ---- Over-voltage ----------------------------------------------------------------------
struct NvVoltRailsControl {
    uint32_t version;
    uint8_t percent;
    uint8_t reserved[35];
};
inline constexpr uint32_t kVoltRailsControlTag = MakeTag(sizeof(NvVoltRailsControl), 1);
static_assert(kVoltRailsControlTag == 0x10028);

// ---- Clock-client domains and VF points ------------------------------------------------
struct NvClkDomainsInfo {
    uint32_t version;
    uint32_t domainMask;  // bit i: entry i valid
    uint32_t reserved[8];
    struct Entry {
        uint32_t type;      // 0 programmable, 1 fixed
        uint32_t domainId;  // 0 graphics, 4 memory, 7 processor
        uint32_t reserved1[8];
        int32_t offsetMaxKHz;
        int32_t offsetMinKHz;
        uint8_t firstVfPoint;
        uint8_t lastVfPoint;
        uint8_t reserved2[22];
    } entries[32];
};
static_assert(sizeof(NvClkDomainsInfo::Entry) == 72);
static_assert(offsetof(NvClkDomainsInfo, entries) == 40);
static_assert(offsetof(NvClkDomainsInfo::Entry, offsetMaxKHz) == 40);
static_assert(offsetof(NvClkDomainsInfo::Entry, offsetMinKHz) == 44);
static_assert(offsetof(NvClkDomainsInfo::Entry, firstVfPoint) == 48);
static_assert(offsetof(NvClkDomainsInfo::Entry, lastVfPoint) == 49);
inline constexpr uint32_t kClkDomainsInfoTag = MakeTag(sizeof(NvClkDomainsInfo), 1);
static_assert(kClkDomainsInfoTag == 0x10928);

inline constexpr int kVfPointCount = 255;
struct NvVfPointsInfo {
    uint32_t version;
    uint32_t mask[8];  // 256 bits, bit i: point i valid
    uint32_t reserved[8];
    struct Entry {
        uint32_t type;  // 0 programmable, 1 fixed
        uint8_t voltageBased;
        uint8_t reserved[19];
    } entries[kVfPointCount];
};
static_assert(offsetof(NvVfPointsInfo, entries) == 68);
static_assert(sizeof(NvVfPointsInfo::Entry) == 24);
inline constexpr uint32_t kVfPointsInfoTag = MakeTag(sizeof(NvVfPointsInfo), 1);
static_assert(kVfPointsInfoTag == 0x1182C);

struct NvVfPointsControl {
    uint32_t version;
    uint32_t mask[8];
    uint32_t reserved[8];
    struct Entry {
        uint32_t type;
        uint32_t reserved1[4];
        int32_t freqDeltaKHz;
        uint32_t reserved2[3];
    } entries[kVfPointCount];
};
static_assert(offsetof(NvVfPointsControl, entries) == 68);
static_assert(sizeof(NvVfPointsControl::Entry) == 36);
static_assert(offsetof(NvVfPointsControl::Entry, freqDeltaKHz) == 20);
inline constexpr uint32_t kVfPointsControlTag = MakeTag(sizeof(NvVfPointsControl), 2);
static_assert(kVfPointsControlTag == 0x22420);

// ---- System ----------------------------------------------------------------------------
struct NvChipSetInfo {
    uint32_t version;
    uint32_t vendorId;
    uint32_t deviceId;
    uint8_t reserved[220];
};
inline constexpr uint32_t kChipSetInfoTag = MakeTag(sizeof(NvChipSetInfo), 4);
static_assert(kChipSetInfoTag == 0x400E8);

}  // namespace pyx
