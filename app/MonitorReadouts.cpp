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

// The labels' texts and the lighting's load from the numbers read.
void Finish(MonitorReadings& out) {
    out.graphicsText = std::to_string(static_cast<int32_t>(out.graphicsClockMHz));
    out.memoryText = std::to_string(static_cast<int32_t>(out.memoryClockMHz));
    out.temperatureText = std::to_string(out.temperatureC);
    if (out.hasFan) out.fanText = std::to_string(out.fanValue);
    // An idle GPU still counts as 1 % for the lighting's load mode.
    if (out.loadPercent) out.gpuLoad = *out.loadPercent != 0 ? *out.loadPercent : 1;
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
    out.temperatureC = sensors.ReadGpuTemperatureC().value_or(0);
    ReadFan(table, gpu, out);
    out.loadPercent = sensors.ReadLoadPercent();
    Finish(out);
    return out;
}

MonitorReadings ReadingsFromJson(const nlohmann::json& reading) {
    MonitorReadings out;
    const auto whole = [&](const char* key) {
        const auto it = reading.find(key);
        return it != reading.end() && it->is_number_integer();
    };
    const auto wholeOrNull = [&](const char* key) { return whole(key) || (reading.contains(key) && reading.at(key).is_null()); };
    if (!reading.is_object() || !whole("graphicsClockMHz") || !whole("memoryClockMHz") || !whole("temperatureC") ||
        !wholeOrNull("fan") || !wholeOrNull("loadPercent") || !reading.contains("fanUnit") || !reading.at("fanUnit").is_string())
        return out;
    const std::optional<FanUnit> unit = FanUnitFromName(reading.at("fanUnit").get<std::string>());
    if (!unit) return out;
    out.read = true;
    out.graphicsClockMHz = reading.at("graphicsClockMHz").get<uint32_t>();
    out.memoryClockMHz = reading.at("memoryClockMHz").get<uint32_t>();
    out.temperatureC = reading.at("temperatureC").get<int32_t>();
    out.hasFan = !reading.at("fan").is_null();
    if (out.hasFan) out.fanValue = reading.at("fan").get<int32_t>();
    out.fanUnit = *unit;
    if (!reading.at("loadPercent").is_null()) out.loadPercent = reading.at("loadPercent").get<int32_t>();
    Finish(out);
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

