#pragma once
#include <cstdint>
#include <optional>

#include <nlohmann/json.hpp>

#include "gpu/GpuBoardTable.h"

namespace pyx {

// One second of one GPU as the card owner keeps it: what the readouts show, and the limits in
// force. A value the card did not give is absent, never 0: a lost temperature must not read as
// a cold card.
struct HistorySample {
    int64_t timeMs = 0;  // wall-clock time, milliseconds since 1970-01-01 UTC
    int gpu = 0;
    std::optional<uint32_t> graphicsClockMHz;
    std::optional<uint32_t> memoryClockMHz;
    std::optional<int32_t> temperatureC;
    std::optional<int32_t> fanPercent;  // the fan's level, where the card drives it in percent
    std::optional<int32_t> fanRpm;      // where the card reports its fan in RPM (a tachometer)
    std::optional<int32_t> loadPercent;
    std::optional<uint32_t> powerDrawMilliwatts;
    std::optional<int32_t> thermalLimitC;
    std::optional<uint32_t> powerLimitPcm;  // thousandths of a percent of the card's default

    bool operator==(const HistorySample&) const = default;
};

// The sample of one GPU now, read from the card; a GPU the table does not hold gives a sample
// with nothing in it.
HistorySample ReadSample(GpuBoardTable& table, int gpu, int64_t timeMs);

// The wire and `--json` form: every series under its name, null where absent.
nlohmann::json SampleJson(const HistorySample& sample);
// The sample a SampleJson object holds; none when it is not one (a missing or mistyped field).
std::optional<HistorySample> SampleFromJson(const nlohmann::json& doc);

}  // namespace pyx
