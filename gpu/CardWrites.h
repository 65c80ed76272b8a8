#pragma once
#include <cstdint>
#include <optional>
#include <vector>

#include "gpu/NvApiStatus.h"

namespace pyx {

// The writes that change a card's tuning, each with the unit its value is reported in.
enum class TuningOperation : uint8_t {
    GraphicsClockOffset,  // MHz, P-state 0
    MemoryClockOffset,    // MHz, P-state 0
    GraphicsVfOffset,     // kHz, every programmable point of the graphics domain
    MemoryVfOffset,       // kHz, every programmable point of the memory domain
    PowerTarget,          // percent
    ThermalLimit,         // degrees C
    FanSpeed,             // percent
    FanSpeedRpm,          // RPM, a tachometer-driven fan
    FanCoolerLevel,       // percent through the fan-cooler interface; 0 hands the fans back
    FanAutomatic,         // no value
};

// One write to one card and what the card answered.
struct CardWrite {
    TuningOperation operation = TuningOperation::GraphicsClockOffset;
    int64_t value = 0;  // in the operation's unit
    NvStatus status = kNvOk;
};

// The writes of one call, in the order they were sent. A write whose answer says nothing about
// the card (the library fan's restore) is left out.
class CardWrites {
public:
    void Add(TuningOperation operation, int64_t value, NvStatus status) { writes_.push_back({operation, value, status}); }
    void Append(const CardWrites& other) { writes_.insert(writes_.end(), other.writes_.begin(), other.writes_.end()); }

    const std::vector<CardWrite>& All() const { return writes_; }
    bool Empty() const { return writes_.empty(); }
    // The answer to the last write of this operation; none when it was not sent.
    std::optional<NvStatus> StatusOf(TuningOperation operation) const {
        for (auto it = writes_.rbegin(); it != writes_.rend(); ++it)
            if (it->operation == operation) return it->status;
        return std::nullopt;
    }
    bool Refused(TuningOperation operation) const {
        const std::optional<NvStatus> status = StatusOf(operation);
        return status && *status != kNvOk;
    }

private:
    std::vector<CardWrite> writes_;
};

}  // namespace pyx
