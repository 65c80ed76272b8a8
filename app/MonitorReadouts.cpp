#include "app/MonitorReadouts.h"

#include <string>

#include "gpu/CardTuning.h"
#include "gpu/CardSensors.h"

namespace pyx {

namespace {

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

}  // namespace

MonitorReadings ReadMonitors(GpuBoardTable& table, int gpu) {
    MonitorReadings out;
    if (!table.IsValidGpu(gpu)) return out;
    out.read = true;
    const CardSensors sensors(table, gpu);
    // A failed clock query reads 0 for both clocks.
    const CurrentClocks clocks = sensors.ReadCurrentClocks().value_or(CurrentClocks{});
    out.graphicsClockMHz = clocks.graphicsKHz / 1000;
    out.memoryClockMHz = clocks.memoryKHz / 1000;
    out.graphicsText = std::to_string(static_cast<int32_t>(out.graphicsClockMHz));
    out.memoryText = std::to_string(static_cast<int32_t>(out.memoryClockMHz));
    out.temperatureC = sensors.ReadGpuTemperatureC().value_or(0);
    out.temperatureText = std::to_string(out.temperatureC);
    ReadFan(table, gpu, out);
    if (out.hasFan) out.fanText = std::to_string(out.fanValue);
    out.loadPercent = sensors.ReadLoadPercent();
    // An idle GPU still counts as 1 % for the lighting's load mode.
    if (out.loadPercent) out.gpuLoad = *out.loadPercent != 0 ? *out.loadPercent : 1;
    return out;
}

nlohmann::json ReadingsJson(int gpu, const MonitorReadings& r, const std::string& backend) {
    return {{"gpu", gpu},
            {"graphicsClockMHz", r.graphicsClockMHz},
            {"memoryClockMHz", r.memoryClockMHz},
            {"temperatureC", r.temperatureC},
            {"fan", r.hasFan ? nlohmann::json(r.fanValue) : nlohmann::json(nullptr)},
            {"fanUnit", FanUnitName(r.fanUnit)},
            {"loadPercent", r.loadPercent ? nlohmann::json(*r.loadPercent) : nlohmann::json(nullptr)},
            {"backend", backend}};
}

std::string ReadingsLine(const nlohmann::json& reading) {
    const auto number = [&](const char* key) { return std::to_string(reading.at(key).get<int64_t>()); };
    const nlohmann::json& fan = reading.at("fan");
    const nlohmann::json& load = reading.at("loadPercent");
    const char* unit = reading.at("fanUnit") == "rpm" ? " RPM" : " %";
    return "GPU " + number("gpu") + "  graphics " + number("graphicsClockMHz") + " MHz  memory " +
           number("memoryClockMHz") + " MHz  temperature " + number("temperatureC") + " C  fan " +
           (fan.is_null() ? std::string("-") : std::to_string(fan.get<int64_t>()) + unit) + "  load " +
           (load.is_null() ? std::string("-") : std::to_string(load.get<int64_t>()) + " %");
}

}  // namespace pyx

