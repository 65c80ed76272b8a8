#pragma once
#include <cstdint>

#include "gpu/FanDriver.h"

namespace pyx {

// A tachometer count c is 1,500,000 / c RPM, and an RPM r is written as 1,500,000 / r.
inline constexpr int32_t kTachometerConstant = 1500000;

// The slot-0 fan chip, driven by tachometer count: levels and readings are RPM, and the
// automatic mode is the chip's own curve, written from the range discovery calibrated.
class TachometerChipFan : public FanDriver {
public:
    FanPath Path() const override { return FanPath::TachometerChip; }
    FanUnit Unit() const override { return FanUnit::Rpm; }
    [[nodiscard]] NvStatus SetLevel(GpuBoardTable& table, int gpu, int32_t rpm) const override;
    [[nodiscard]] NvStatus RestoreAutomatic(GpuBoardTable& table, int gpu) const override;
    [[nodiscard]] NvStatus Reading(GpuBoardTable& table, int gpu, int32_t* out) const override;
    [[nodiscard]] NvStatus Mode(GpuBoardTable& table, int gpu, int32_t* out) const override;
};

// The count written for an RPM request: 1,500,000 / rpm held within the chip's 16 bits.
// Requests at or below 0 (and below 23 RPM, where the quotient no longer fits) ask for the
// slowest speed the chip can be told, 0xFFFF.
uint16_t TachometerCountForRpm(int32_t rpm);
// A count of 0 means the tachometer saw no pulse: a stopped fan, 0 RPM.
int32_t RpmForTachometerCount(uint16_t count);

}  // namespace pyx
