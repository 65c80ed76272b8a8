#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "gpu/FanPath.h"
#include "gpu/GpuBoardTable.h"

namespace pyx {

// One second's readouts of a GPU, as the main window's readout labels show them. Texts are
// the numbers as "%d" prints them; the fan text is empty when no fan reading succeeded.
struct MonitorReadings {
    bool read = false;  // false: the index named no GPU and nothing was queried
    uint32_t graphicsClockMHz = 0;  // 0 when the clock query failed
    uint32_t memoryClockMHz = 0;
    int32_t temperatureC = 0;       // 0 when no GPU sensor answered
    bool hasFan = false;
    int32_t fanValue = 0;
    FanUnit fanUnit = FanUnit::Percent;  // RPM only on the tachometer chip's fan path
    // The GPU's utilisation in percent as the card reports it (0 when idle), when the load
    // query succeeded: the readout.
    std::optional<int32_t> loadPercent;
    // The same, at least 1, for the lighting's load mode (whose colour needs some load to
    // show); the caller keeps it as gpuLoad. Unset: gpuLoad stays as it was.
    std::optional<int32_t> gpuLoad;

    std::string graphicsText;
    std::string memoryText;
    std::string temperatureText;
    std::string fanText;
};

// Reads the current clocks, GPU temperature, fan and load of one GPU. Failures are not
// reported; they leave the readouts described above.
MonitorReadings ReadMonitors(GpuBoardTable& table, int gpu);

// One reading as `pyxtunectl monitor --json` prints it and the service answers it; null for
// what the card did not say.
nlohmann::json ReadingsJson(int gpu, const MonitorReadings& r, const std::string& backend);
// The readouts such a reading holds, as ReadMonitors would have given them; `read` false when
// it is not one (a missing or mistyped field).
MonitorReadings ReadingsFromJson(const nlohmann::json& reading);
// The same as the monitor's line of text.
std::string ReadingsLine(const nlohmann::json& reading);

}  // namespace pyx
