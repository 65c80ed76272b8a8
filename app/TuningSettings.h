#pragma once
#include <cstdint>

namespace pyx {

// The tuning values of the last settings load. They are shared by all GPUs: every matched
// section overwrites them, so after a load they hold the last matched GPU's values.
struct TuningSettings {
    int32_t gpuClockOffsetMHz = 0;   // "DyaGpuClock"
    int32_t memClockOffsetMHz = 0;   // "DyaMemClock"
    int32_t powerTargetPercent = 0;  // "PowerTarget"
    int32_t fanWorkMode = 0;         // "FanWorkMode": 1 automatic, 2 fixed speed, 3 fan-cooler level
    int32_t fanSpeed = 0;            // "FanSpeed": percent, or RPM on a tachometer-driven fan

    friend bool operator==(const TuningSettings&, const TuningSettings&) = default;
};

}  // namespace pyx
