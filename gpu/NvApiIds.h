#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

namespace pyx {

// Every library operation the program uses, each with its interface id. The index of an
// operation is its slot in the layer's pointer cache.
enum class NvOp : uint8_t {
    EnumPhysicalGPUs,
    GetPCIIdentifiers,
    GetAllClockFrequencies,
    GetPerfLevels,
    GetCoolerSettings,
    SetCoolerLevels,
    RestoreCoolerSettings,
    GetPstates20,
    SetPstates20,
    GetDynamicPstatesInfoEx,
    GetThermalSettings,
    ThermalPoliciesGetInfo,
    ThermalPoliciesGetStatus,
    ThermalPoliciesSetStatus,
    I2CRead,
    I2CWrite,
    I2CWriteEx,
    I2CReadEx,
    PowerPoliciesGetInfo,
    PowerPoliciesGetStatus,
    PowerPoliciesSetStatus,
    LightingTick,
    FanCoolersGetInfo,
    FanCoolersGetStatus,
    FanCoolersSetControl,
    VoltRailsGetControl,
    ClkDomainsGetInfo,
    ClkVfPointsGetInfo,
    ClkVfPointsGetControl,
    ClkVfPointsSetControl,
    SysGetChipSetInfo,
    FanCoolersGetControl,
    Count
};

inline constexpr size_t kNvOpCount = static_cast<size_t>(NvOp::Count);

inline constexpr uint32_t kIdInitialize = 0x0150E828;
inline constexpr uint32_t kIdBeforeCallHook = 0x33C7358C;
inline constexpr uint32_t kIdAfterCallHook = 0x593E8644;
// The PCI bus and slot of a GPU, which tie it to its kernel devices (I2C adapters) and to
// NVML. The Linux library answers the bus only; a GPU then sits in slot 0 of its bus.
inline constexpr uint32_t kIdGetBusId = 0x1BE0B8E5;
inline constexpr uint32_t kIdGetBusSlotId = 0x2A0A350F;
// The GPU's name as the user knows it, into an NvAPI_ShortString; asked by the window beside
// the card's number, not through the layer.
inline constexpr uint32_t kIdGetFullName = 0xCEEE8E9F;
inline constexpr size_t kNvShortStringBytes = 64;

inline constexpr std::array<uint32_t, kNvOpCount> kNvOpIds = {
    0xE5AC921F,  // EnumPhysicalGPUs
    0x2DDFB66E,  // GetPCIIdentifiers
    0xDCB616C3,  // GetAllClockFrequencies
    0x1EA54A3B,  // GetPerfLevels
    0xDA141340,  // GetCoolerSettings
    0x891FA0AE,  // SetCoolerLevels
    0x8F6ED0FB,  // RestoreCoolerSettings
    0x6FF81213,  // GetPstates20
    0x0F4DAE6B,  // SetPstates20
    0x60DED2ED,  // GetDynamicPstatesInfoEx
    0xE3640A56,  // GetThermalSettings
    0x0D258BB5,  // ThermalPoliciesGetInfo
    0xE9C425A1,  // ThermalPoliciesGetStatus
    0x34C0B13D,  // ThermalPoliciesSetStatus
    0x2FDE12C5,  // I2CRead
    0xE812EB07,  // I2CWrite
    0x283AC65A,  // I2CWriteEx
    0x4D7B0709,  // I2CReadEx
    0x34206D86,  // PowerPoliciesGetInfo
    0x70916171,  // PowerPoliciesGetStatus
    0xAD95F5ED,  // PowerPoliciesSetStatus
    0xF3B11E68,  // LightingTick
    0xFB85B01E,  // FanCoolersGetInfo
    0x35AED5E8,  // FanCoolersGetStatus
    0xA58971A5,  // FanCoolersSetControl
    0x9DF23CA1,  // VoltRailsGetControl
    0x64B43A6A,  // ClkDomainsGetInfo
    0x507B4B59,  // ClkVfPointsGetInfo
    0x23F1B133,  // ClkVfPointsGetControl
    0x0733E009,  // ClkVfPointsSetControl
    0x53DABBCA,  // SysGetChipSetInfo
    0x814B209F,  // FanCoolersGetControl
};

constexpr uint32_t NvOpId(NvOp op) { return kNvOpIds[static_cast<size_t>(op)]; }

// The operations by name, as the trace and the doctor's report name them.
inline constexpr std::array<const char*, kNvOpCount> kNvOpNames = {
    "EnumPhysicalGPUs",
    "GetPCIIdentifiers",
    "GetAllClockFrequencies",
    "GetPerfLevels",
    "GetCoolerSettings",
    "SetCoolerLevels",
    "RestoreCoolerSettings",
    "GetPstates20",
    "SetPstates20",
    "GetDynamicPstatesInfoEx",
    "GetThermalSettings",
    "ThermalPoliciesGetInfo",
    "ThermalPoliciesGetStatus",
    "ThermalPoliciesSetStatus",
    "I2CRead",
    "I2CWrite",
    "I2CWriteEx",
    "I2CReadEx",
    "PowerPoliciesGetInfo",
    "PowerPoliciesGetStatus",
    "PowerPoliciesSetStatus",
    "LightingTick",
    "FanCoolersGetInfo",
    "FanCoolersGetStatus",
    "FanCoolersSetControl",
    "VoltRailsGetControl",
    "ClkDomainsGetInfo",
    "ClkVfPointsGetInfo",
    "ClkVfPointsGetControl",
    "ClkVfPointsSetControl",
    "SysGetChipSetInfo",
    "FanCoolersGetControl",
};

constexpr const char* NvOpName(NvOp op) { return kNvOpNames[static_cast<size_t>(op)]; }

}  // namespace pyx
