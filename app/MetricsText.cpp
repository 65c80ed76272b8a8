#include "app/MetricsText.h"

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <optional>

namespace pyx {

namespace {

// value / 10^digits written exactly, without trailing zeros: (112500, 5) -> "1.125".
std::string Decimal(int64_t value, int digits) {
    int64_t scale = 1;
    for (int i = 0; i < digits; ++i) scale *= 10;
    const bool negative = value < 0;
    const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    std::string text;
    if (negative) text += '-';
    text += std::to_string(magnitude / static_cast<uint64_t>(scale));
    uint64_t rest = magnitude % static_cast<uint64_t>(scale);
    if (rest == 0) return text;
    std::string fraction(static_cast<std::size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i, rest /= 10) fraction[static_cast<std::size_t>(i)] = static_cast<char>('0' + rest % 10);
    while (fraction.back() == '0') fraction.pop_back();
    return text + "." + fraction;
}

struct Family {
    const char* name;
    const char* help;
    // The sample's value as exposition text; none when the GPU did not report it.
    std::function<std::optional<std::string>(const HistorySample&)> value;
};

template <typename T>
std::optional<std::string> Scaled(const std::optional<T>& v, int64_t factor, int digits) {
    if (!v) return std::nullopt;
    return Decimal(static_cast<int64_t>(*v) * factor, digits);
}

const std::vector<Family>& Families() {
    static const std::vector<Family> families = {
        {"pyxtune_gpu_graphics_clock_hertz", "The GPU's graphics clock.",
         [](const HistorySample& s) { return Scaled(s.graphicsClockMHz, 1000000, 0); }},
        {"pyxtune_gpu_memory_clock_hertz", "The GPU's memory clock.",
         [](const HistorySample& s) { return Scaled(s.memoryClockMHz, 1000000, 0); }},
        {"pyxtune_gpu_temperature_celsius", "The GPU's temperature.",
         [](const HistorySample& s) { return Scaled(s.temperatureC, 1, 0); }},
        {"pyxtune_gpu_fan_ratio", "The fan's level where the card drives it in percent, 0 to 1.",
         [](const HistorySample& s) { return Scaled(s.fanPercent, 1, 2); }},
        {"pyxtune_gpu_fan_rpm", "The fan's speed where the card reports it in revolutions per minute.",
         [](const HistorySample& s) { return Scaled(s.fanRpm, 1, 0); }},
        {"pyxtune_gpu_load_ratio", "The GPU's utilisation, 0 to 1.",
         [](const HistorySample& s) { return Scaled(s.loadPercent, 1, 2); }},
        {"pyxtune_gpu_power_draw_watts", "The card's power draw.",
         [](const HistorySample& s) { return Scaled(s.powerDrawMilliwatts, 1, 3); }},
        {"pyxtune_gpu_thermal_limit_celsius", "The thermal limit in force.",
         [](const HistorySample& s) { return Scaled(s.thermalLimitC, 1, 0); }},
        {"pyxtune_gpu_power_limit_ratio", "The power limit in force as a share of the card's default (1 is 100 %).",
         [](const HistorySample& s) { return Scaled(s.powerLimitPcm, 1, 5); }},
        {"pyxtune_gpu_sample_time_seconds", "When the sample was taken, in seconds since 1970-01-01 UTC.",
         [](const HistorySample& s) { return std::optional<std::string>(Decimal(s.timeMs, 3)); }},
    };
    return families;
}

}  // namespace

std::string MetricsText::Render(const std::vector<HistorySample>& latest) {
    std::string text;
    for (const Family& family : Families()) {
        std::string samples;
        for (const HistorySample& sample : latest)
            if (const auto value = family.value(sample))
                samples += std::string(family.name) + "{gpu=\"" + std::to_string(sample.gpu) + "\"} " + *value + "\n";
        if (samples.empty()) continue;
        text += std::string("# HELP ") + family.name + " " + family.help + "\n";
        text += std::string("# TYPE ") + family.name + " gauge\n";
        text += samples;
    }
    return text;
}

}  // namespace pyx
