#pragma once
#include <cstdint>
#include <optional>

#include "gpu/GpuBoardTable.h"

namespace pyx {

// The clocks a card runs at now, in kHz.
struct CurrentClocks {
    uint32_t graphicsKHz = 0;
    uint32_t memoryKHz = 0;
};

// Typed reads of what a card measures: the readouts and the bus probe take these and never
// see a record. A GPU the table does not hold reads nothing.
class CardSensors {
public:
    CardSensors(GpuBoardTable& table, int gpu) : table_(table), gpu_(gpu) {}

    // Both clocks; none when the query failed.
    std::optional<CurrentClocks> ReadCurrentClocks() const;
    // The first sensor that reports on the GPU itself (all sensors are asked at once); none
    // when the query failed or no sensor is the GPU's.
    std::optional<int32_t> ReadGpuTemperatureC() const;
    // The GPU's utilisation in percent, as the card reports it (0 when idle).
    std::optional<int32_t> ReadLoadPercent() const;
    // What the card draws now, where its library tells it; none elsewhere.
    std::optional<uint32_t> ReadPowerDrawMilliwatts() const;

private:
    GpuBoardTable& table_;
    const int gpu_;
};

}  // namespace pyx
