#include "app/HistorySample.h"

#include <limits>

#include "gpu/CardSensors.h"
#include "gpu/CardTuning.h"

namespace pyx {

namespace {

// The series in the order of their JSON names; one table for both directions.
template <typename Sample, typename Visit>
void EachSeries(Sample& s, Visit&& visit) {
    visit("graphicsClockMHz", s.graphicsClockMHz);
    visit("memoryClockMHz", s.memoryClockMHz);
    visit("temperatureC", s.temperatureC);
    visit("fanPercent", s.fanPercent);
    visit("fanRpm", s.fanRpm);
    visit("loadPercent", s.loadPercent);
    visit("powerDrawMilliwatts", s.powerDrawMilliwatts);
    visit("thermalLimitC", s.thermalLimitC);
    visit("powerLimitPcm", s.powerLimitPcm);
}

template <typename T>
bool ReadInto(const nlohmann::json& value, std::optional<T>& out) {
    if (value.is_null()) {
        out.reset();
        return true;
    }
    if (!value.is_number_integer()) return false;
    const int64_t number = value.get<int64_t>();
    if (number < static_cast<int64_t>(std::numeric_limits<T>::min()) ||
        number > static_cast<int64_t>(std::numeric_limits<T>::max()))
        return false;
    out = static_cast<T>(number);
    return true;
}

}  // namespace

HistorySample ReadSample(GpuBoardTable& table, int gpu, int64_t timeMs) {
    HistorySample s;
    s.timeMs = timeMs;
    s.gpu = gpu;
    if (!table.IsValidGpu(gpu)) return s;
    const CardSensors sensors(table, gpu);
    if (const auto clocks = sensors.ReadCurrentClocks()) {
        s.graphicsClockMHz = clocks->graphicsKHz / 1000;
        s.memoryClockMHz = clocks->memoryKHz / 1000;
    }
    s.temperatureC = sensors.ReadGpuTemperatureC();
    s.loadPercent = sensors.ReadLoadPercent();
    s.powerDrawMilliwatts = sensors.ReadPowerDrawMilliwatts();
    const CardTuning card(table, gpu);
    // The fan as the readouts take it: the fan-cooler interface first, else the board's path.
    if (const auto level = card.ReadFanCoolerLevel())
        s.fanPercent = *level;
    else if (const auto reading = card.ReadFanLevel())
        (card.FanLevelUnit() == FanUnit::Rpm ? s.fanRpm : s.fanPercent) = *reading;
    s.thermalLimitC = card.ReadThermalLimitC();
    s.powerLimitPcm = card.ReadPowerPcm();
    return s;
}

nlohmann::json SampleJson(const HistorySample& sample) {
    nlohmann::json doc = {{"timeMs", sample.timeMs}, {"gpu", sample.gpu}};
    EachSeries(sample, [&](const char* name, const auto& value) {
        doc[name] = value ? nlohmann::json(*value) : nlohmann::json(nullptr);
    });
    return doc;
}

std::optional<HistorySample> SampleFromJson(const nlohmann::json& doc) {
    if (!doc.is_object()) return std::nullopt;
    HistorySample s;
    const auto time = doc.find("timeMs");
    const auto gpu = doc.find("gpu");
    if (time == doc.end() || !time->is_number_integer() || gpu == doc.end() || !gpu->is_number_integer()) return std::nullopt;
    s.timeMs = time->get<int64_t>();
    std::optional<int> index;
    if (!ReadInto(*gpu, index) || !index || *index < 0) return std::nullopt;
    s.gpu = *index;
    bool ok = true;
    EachSeries(s, [&](const char* name, auto& value) {
        const auto it = doc.find(name);
        ok = ok && it != doc.end() && ReadInto(*it, value);
    });
    if (!ok) return std::nullopt;
    return s;
}

}  // namespace pyx
