#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "app/HistorySample.h"

namespace pyx {

// The last hour of every GPU's samples, in a ring of fixed size per GPU that is allocated once:
// whatever runs for weeks holds no more than at its first hour. A sample older than an hour
// before its GPU's newest is gone. Not locked: one thread of the card owner adds and reads.
class SampleHistory {
public:
    static constexpr int64_t kKeptMs = 3600 * 1000;
    // One sample a second for an hour, and room for a wall clock that the time service makes
    // run a little fast, so that such an hour is still whole.
    static constexpr std::size_t kSlotsPerGpu = 3600 + 16;

    explicit SampleHistory(int gpuCount);

    int GpuCount() const { return static_cast<int>(rings_.size()); }
    // A sample of a GPU the history does not hold is not kept. A sample earlier than its GPU's
    // newest means the wall clock was set back: the samples "after" it are dropped, so that
    // the history stays in time order and a later question is answered from one clock.
    void Add(const HistorySample& sample);
    // The samples from sinceMs on (inclusive), of one GPU or of all, by time and then GPU.
    std::vector<HistorySample> Since(int64_t sinceMs, std::optional<int> gpu = std::nullopt) const;
    std::optional<HistorySample> Latest(int gpu) const;
    // What the rings take, allocated at construction and never more.
    std::size_t MemoryBytes() const;

private:
    // One sample in 32 bytes; a value wider than its field (no card reports one) is absent.
    struct Slot {
        int64_t timeMs = 0;
        uint32_t powerDrawMilliwatts = 0;
        uint32_t powerLimitPcm = 0;
        uint16_t graphicsClockMHz = 0;
        uint16_t memoryClockMHz = 0;
        int16_t temperatureC = 0;
        int16_t fanPercent = 0;
        uint16_t fanRpm = 0;
        int16_t thermalLimitC = 0;
        uint16_t present = 0;  // a bit per series, in the order of the fields above
        uint8_t loadPercent = 0;
    };
    struct Ring {
        std::vector<Slot> cells;
        std::size_t first = 0;  // the oldest
        std::size_t count = 0;
        const Slot& At(std::size_t i) const { return cells[(first + i) % cells.size()]; }
    };

    static Slot Pack(const HistorySample& sample);
    static HistorySample Unpack(const Slot& slot, int gpu);

    std::vector<Ring> rings_;
};

}  // namespace pyx
