#include "gpu/CardSensors.h"

#include <iterator>

#include "gpu/NvApiRecords.h"

namespace pyx {

namespace {
// The library answers this sensor index with every sensor of the card.
constexpr uint32_t kAllThermalSensors = 15;
}  // namespace

std::optional<CurrentClocks> CardSensors::ReadCurrentClocks() const {
    if (!table_.IsValidGpu(gpu_)) return std::nullopt;
    NvClockFrequencies record{};
    record.version = kClockFrequenciesTag;
    record.clockType = kClockTypeCurrent;
    if (table_.Library().GetAllClockFrequencies(table_.Board(gpu_).gpuHandle, &record) != kNvOk) return std::nullopt;
    return CurrentClocks{record.domain[kDomainGraphics].frequencyKHz, record.domain[kDomainMemory].frequencyKHz};
}

std::optional<int32_t> CardSensors::ReadGpuTemperatureC() const {
    if (!table_.IsValidGpu(gpu_)) return std::nullopt;
    NvThermalSettings record{};
    record.version = kThermalSettingsTag;
    if (table_.Library().GetThermalSettings(table_.Board(gpu_).gpuHandle, kAllThermalSensors, &record) != kNvOk)
        return std::nullopt;
    // The count is the library's: never trusted past the record's own slots.
    const auto slots = static_cast<uint32_t>(std::size(record.sensor));
    const uint32_t count = record.count < slots ? record.count : slots;
    for (uint32_t i = 0; i < count; ++i)
        if (record.sensor[i].target == kThermalTargetGpu) return record.sensor[i].currentTemp;
    return std::nullopt;
}

std::optional<uint32_t> CardSensors::ReadPowerDrawMilliwatts() const {
    if (!table_.IsValidGpu(gpu_)) return std::nullopt;
    const LibrarySource* source = table_.Library().Source();
    return source != nullptr ? source->PowerDrawMilliwatts(table_.Board(gpu_).gpuHandle) : std::nullopt;
}

std::optional<int32_t> CardSensors::ReadLoadPercent() const {
    if (!table_.IsValidGpu(gpu_)) return std::nullopt;
    NvDynamicPstatesInfo record{};
    record.version = kDynamicPstatesTag;
    if (table_.Library().GetDynamicPstatesInfoEx(table_.Board(gpu_).gpuHandle, &record) != kNvOk) return std::nullopt;
    return static_cast<int32_t>(record.utilization[0].percentage);
}

}  // namespace pyx
