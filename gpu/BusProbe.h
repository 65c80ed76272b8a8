#pragma once
#include <cstdint>
#include <optional>

#include "gpu/GpuBoardTable.h"

namespace pyx {

// The register-1 test: read register 0x01 as v, write v - 1 (1 when v is 0), read it back.
// True only when all three transfers succeed and the read-back is what was written; the
// register is left changed. Slot 6 goes through its own operations.
bool RegisterOneTest(GpuBoardTable& table, int gpu, int slot);

// Probes one board's bus in the fixed order (slots 3, 0 with calibration, 1, 2, 5, 6, 7, 8-11),
// keeping each slot's address only when its device answered. The board must be identified.
void ProbeBoardBus(GpuBoardTable& table, int gpu);

// Running figures of the calibration: GPU temperature minus chip temperature per sample.
class TemperatureOffsetSamples {
public:
    void Add(int differenceC);
    int Count() const { return count_; }
    // The chip's new offset register value: the mean without the highest and the lowest
    // sample, added to oldOffset and kept as a byte. Nothing with fewer than three samples.
    std::optional<uint8_t> NewOffset(uint8_t oldOffset) const;

private:
    int count_ = 0;
    int sum_ = 0;
    int min_ = 0;
    int max_ = 0;
};

struct Slot0Calibration {
    int samples = 0;                // samples that counted, of eight
    std::optional<uint8_t> offset;  // written to register 0x64 when set
};

// Sets the slot-0 fan chip up for fan type 3 (flags, speed range, curve) and corrects its
// temperature offset against the GPU's own sensor. Called after the chip answered.
Slot0Calibration CalibrateSlot0FanChip(GpuBoardTable& table, int gpu);

// Last step of discovery for one board: leaves a slot-0 chip's fan in its own control, or
// reads the library cooler and its range.
void PrepareFanControl(GpuBoardTable& table, int gpu);

}  // namespace pyx
