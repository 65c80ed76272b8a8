#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "gpu/NvApiRecords.h"
#include "gpu/NvApiStatus.h"
#include "gpu/linux/NvmlLibrary.h"

namespace pyx {

// What NVML keeps per card that its calls do not give back: the acoustic target the card had
// when the program first read it stands for the policy's default, which NVML does not report.
struct NvmlCardMemory {
    std::optional<int32_t> thermalDefaultCelsius;
};

// The library's tuning records answered from NVML for one device, in the library's units:
// clock offsets (NVML MHz, records kHz), the power target (NVML milliwatts, records
// thousandths of a percent of the default limit), the acoustic temperature target (NVML
// degrees, records 1/256 degrees) and the fans (NVML fan indexes, records cooler indexes and
// fan-cooler ids from 1). Each answers nullopt when the installed NVML lacks a function the
// record needs, so the caller can tell "NVML cannot" from what NVML answered.
class NvmlAnswers {
public:
    using Device = NvmlLibrary::Device;

    static NvStatus FromNvml(NvmlLibrary::Return code);

    // The device's name; nullopt when NVML lacks nvmlDeviceGetName or does not answer it.
    static std::optional<std::string> Name(NvmlLibrary& nvml, Device device);

    static std::optional<NvStatus> GetPstates20(NvmlLibrary& nvml, Device device, NvPstates20* record);
    static std::optional<NvStatus> SetPstates20(NvmlLibrary& nvml, Device device, const NvPstates20* record);

    static std::optional<NvStatus> PowerInfo(NvmlLibrary& nvml, Device device, NvPowerPoliciesInfo* record);
    static std::optional<NvStatus> PowerStatus(NvmlLibrary& nvml, Device device, NvPowerPoliciesStatus* record);
    static std::optional<NvStatus> SetPowerStatus(NvmlLibrary& nvml, Device device, const NvPowerPoliciesStatus* record);

    static std::optional<NvStatus> ThermalInfo(NvmlLibrary& nvml, Device device, NvmlCardMemory& memory,
                                               NvThermalPoliciesInfo* record);
    static std::optional<NvStatus> ThermalStatus(NvmlLibrary& nvml, Device device, NvThermalPoliciesStatus* record);
    static std::optional<NvStatus> SetThermalStatus(NvmlLibrary& nvml, Device device,
                                                    const NvThermalPoliciesStatus* record);

    static std::optional<NvStatus> CoolerSettings(NvmlLibrary& nvml, Device device, uint32_t coolerIndex, void* record);
    static std::optional<NvStatus> SetCoolerLevels(NvmlLibrary& nvml, Device device, uint32_t coolerIndex,
                                                   const NvCoolerLevels* record);
    static std::optional<NvStatus> RestoreCoolers(NvmlLibrary& nvml, Device device, const uint32_t* indexes,
                                                  uint32_t count);
    static std::optional<NvStatus> FanCoolersInfo(NvmlLibrary& nvml, Device device, NvFanCoolersInfo* record);
    static std::optional<NvStatus> FanCoolersStatus(NvmlLibrary& nvml, Device device, NvFanCoolersStatus* record);
    static std::optional<NvStatus> FanCoolersControl(NvmlLibrary& nvml, Device device,
                                                     const NvFanCoolersControl* record);
    // Each fan's level and NVML's control policy (manual sets flags bit 0).
    static std::optional<NvStatus> FanCoolersControlRead(NvmlLibrary& nvml, Device device, NvFanCoolersControl* record);
};

}  // namespace pyx
