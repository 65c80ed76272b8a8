#include "app/MonitorReadouts.h"

#include <cstring>
#include <string>

#include "gpu/CardTuning.h"
#include "gpu/NvApiRecords.h"

namespace pyx {

namespace {

// All sensors at once; the library answers index 15 with every sensor of the card.
constexpr uint32_t kAllThermalSensors = 15;

void ReadCurrentClocks(GpuBoardTable& table, int gpu, MonitorReadings& out) {
    NvClockFrequencies record;
    std::memset(&record, 0, sizeof record);
    record.version = kClockFrequenciesTag;
    record.clockType = kClockTypeCurrent;
    // A failed query leaves the record zeroed: both clocks read 0.
    (void)table.Library().GetAllClockFrequencies(table.Board(gpu).gpuHandle, &record);
    out.graphicsClockMHz = record.domain[kDomainGraphics].frequencyKHz / 1000;
    out.memoryClockMHz = record.domain[kDomainMemory].frequencyKHz / 1000;
}

int32_t ReadGpuTemperature(GpuBoardTable& table, int gpu) {
    NvThermalSettings record;
    std::memset(&record, 0, sizeof record);
    record.version = kThermalSettingsTag;
    if (table.Library().GetThermalSettings(table.Board(gpu).gpuHandle, kAllThermalSensors, &record) != kNvOk)
        return 0;
    const uint32_t sensors = static_cast<uint32_t>(std::size(record.sensor));
    const uint32_t count = record.count < sensors ? record.count : sensors;
    for (uint32_t i = 0; i < count; ++i)
        if (record.sensor[i].target == kThermalTargetGpu) return record.sensor[i].currentTemp;
    return 0;
}

void ReadFan(GpuBoardTable& table, int gpu, MonitorReadings& out) {
    const CardTuning card(table, gpu);
    if (const auto level = card.ReadFanCoolerLevel()) {
        out.hasFan = true;
        out.fanValue = *level;
        return;
    }
    const std::optional<int32_t> reading = card.ReadFanLevel();
    if (!reading) return;
    out.hasFan = true;
    out.fanValue = *reading;
    out.fanUnit = card.FanLevelUnit();
}

void ReadLoad(GpuBoardTable& table, int gpu, MonitorReadings& out) {
    NvDynamicPstatesInfo record;
    std::memset(&record, 0, sizeof record);
    record.version = kDynamicPstatesTag;
    if (table.Library().GetDynamicPstatesInfoEx(table.Board(gpu).gpuHandle, &record) != kNvOk) return;
    const auto percent = static_cast<int32_t>(record.utilization[0].percentage);
    out.loadPercent = percent;
    // An idle GPU still counts as 1 % for the lighting's load mode.
    out.gpuLoad = percent != 0 ? percent : 1;
}

}  // namespace

MonitorReadings ReadMonitors(GpuBoardTable& table, int gpu) {
    MonitorReadings out;
    if (!table.IsValidGpu(gpu)) return out;
    out.read = true;
    ReadCurrentClocks(table, gpu, out);
    out.graphicsText = std::to_string(static_cast<int32_t>(out.graphicsClockMHz));
    out.memoryText = std::to_string(static_cast<int32_t>(out.memoryClockMHz));
    out.temperatureC = ReadGpuTemperature(table, gpu);
    out.temperatureText = std::to_string(out.temperatureC);
    ReadFan(table, gpu, out);
    if (out.hasFan) out.fanText = std::to_string(out.fanValue);
    ReadLoad(table, gpu, out);
    return out;
}

}  // namespace pyx
