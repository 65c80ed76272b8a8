#pragma once
#include <cstdint>
#include <optional>
#include <vector>

#include "app/FanCurve.h"
#include "app/FanCurveEngine.h"
#include "app/HistorySample.h"
#include "app/MonitorReadouts.h"
#include "app/ServiceClient.h"

namespace pyx {

// What the window reads of the cards while the service owns them, asked there: a user who is
// not root reaches neither the cards' I2C fan chips nor, with some drivers, their sensors, and
// the service reads them once for every client.
class ServiceReads {
public:
    explicit ServiceReads(ServiceClient& service) : service_(service) {}

    // One GPU's readouts; `read` false when the service did not answer.
    MonitorReadings Readings(int gpu);
    // Every GPU's samples the service kept from sinceMs on (none: all it keeps), by time; none
    // when it keeps no history or did not answer.
    std::optional<std::vector<HistorySample>> SamplesSince(std::optional<int64_t> sinceMs);
    // The curve GPU gpu's fan follows there; none where it follows none (or the service does
    // not say).
    std::optional<FanCurve> RunningCurve(int gpu);
    // What that curve reads and sends now; none where no curve runs.
    std::optional<FanCurveLive> CurveLive(int gpu);

private:
    // The service's entry for GPU gpu's curve; none when it did not answer.
    std::optional<nlohmann::json> CurveEntry(int gpu);

    ServiceClient& service_;
};

}  // namespace pyx
