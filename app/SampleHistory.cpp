#include "app/SampleHistory.h"

#include <algorithm>
#include <limits>

namespace pyx {

namespace {

// Into a narrower field when it fits; a bit set in `present` says it did.
template <typename Field, typename Value>
void Put(const std::optional<Value>& value, Field& field, uint16_t& present, int bit) {
    if (!value) return;
    const auto v = static_cast<int64_t>(*value);
    if (v < static_cast<int64_t>(std::numeric_limits<Field>::min()) ||
        v > static_cast<int64_t>(std::numeric_limits<Field>::max()))
        return;
    field = static_cast<Field>(v);
    present = static_cast<uint16_t>(present | (1u << bit));
}

template <typename Field, typename Value>
void Get(Field field, uint16_t present, int bit, std::optional<Value>& out) {
    if (present & (1u << bit)) out = static_cast<Value>(field);
}

}  // namespace

SampleHistory::SampleHistory(int gpuCount) : rings_(static_cast<std::size_t>(std::max(gpuCount, 0))) {
    static_assert(sizeof(Slot) == 32, "a slot is 32 bytes: an hour of two GPUs is under 1 MB");
    for (Ring& ring : rings_) ring.cells.resize(kSlotsPerGpu);
}

SampleHistory::Slot SampleHistory::Pack(const HistorySample& s) {
    Slot slot;
    slot.timeMs = s.timeMs;
    Put(s.graphicsClockMHz, slot.graphicsClockMHz, slot.present, 0);
    Put(s.memoryClockMHz, slot.memoryClockMHz, slot.present, 1);
    Put(s.temperatureC, slot.temperatureC, slot.present, 2);
    Put(s.fanPercent, slot.fanPercent, slot.present, 3);
    Put(s.fanRpm, slot.fanRpm, slot.present, 4);
    Put(s.loadPercent, slot.loadPercent, slot.present, 5);
    Put(s.powerDrawMilliwatts, slot.powerDrawMilliwatts, slot.present, 6);
    Put(s.thermalLimitC, slot.thermalLimitC, slot.present, 7);
    Put(s.powerLimitPcm, slot.powerLimitPcm, slot.present, 8);
    return slot;
}

HistorySample SampleHistory::Unpack(const Slot& slot, int gpu) {
    HistorySample s;
    s.timeMs = slot.timeMs;
    s.gpu = gpu;
    Get(slot.graphicsClockMHz, slot.present, 0, s.graphicsClockMHz);
    Get(slot.memoryClockMHz, slot.present, 1, s.memoryClockMHz);
    Get(slot.temperatureC, slot.present, 2, s.temperatureC);
    Get(slot.fanPercent, slot.present, 3, s.fanPercent);
    Get(slot.fanRpm, slot.present, 4, s.fanRpm);
    Get(slot.loadPercent, slot.present, 5, s.loadPercent);
    Get(slot.powerDrawMilliwatts, slot.present, 6, s.powerDrawMilliwatts);
    Get(slot.thermalLimitC, slot.present, 7, s.thermalLimitC);
    Get(slot.powerLimitPcm, slot.present, 8, s.powerLimitPcm);
    return s;
}

void SampleHistory::Add(const HistorySample& sample) {
    if (sample.gpu < 0 || sample.gpu >= GpuCount()) return;
    Ring& ring = rings_[static_cast<std::size_t>(sample.gpu)];
    const std::size_t size = ring.cells.size();
    while (ring.count > 0 && ring.At(ring.count - 1).timeMs > sample.timeMs) --ring.count;
    if (ring.count == size) {
        ring.first = (ring.first + 1) % size;
        --ring.count;
    }
    ring.cells[(ring.first + ring.count) % size] = Pack(sample);
    ++ring.count;
    while (ring.count > 0 && ring.At(0).timeMs <= sample.timeMs - kKeptMs) {
        ring.first = (ring.first + 1) % size;
        --ring.count;
    }
}

std::vector<HistorySample> SampleHistory::Since(int64_t sinceMs, std::optional<int> gpu) const {
    std::vector<HistorySample> out;
    for (int g = 0; g < GpuCount(); ++g) {
        if (gpu && *gpu != g) continue;
        const Ring& ring = rings_[static_cast<std::size_t>(g)];
        // In time order: the first one wanted is found by halving.
        std::size_t low = 0, high = ring.count;
        while (low < high) {
            const std::size_t mid = (low + high) / 2;
            if (ring.At(mid).timeMs < sinceMs)
                low = mid + 1;
            else
                high = mid;
        }
        for (std::size_t i = low; i < ring.count; ++i) out.push_back(Unpack(ring.At(i), g));
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const HistorySample& a, const HistorySample& b) { return a.timeMs < b.timeMs; });
    return out;
}

std::optional<HistorySample> SampleHistory::Latest(int gpu) const {
    if (gpu < 0 || gpu >= GpuCount()) return std::nullopt;
    const Ring& ring = rings_[static_cast<std::size_t>(gpu)];
    if (ring.count == 0) return std::nullopt;
    return Unpack(ring.At(ring.count - 1), gpu);
}

std::size_t SampleHistory::MemoryBytes() const {
    std::size_t bytes = sizeof(*this) + rings_.capacity() * sizeof(Ring);
    for (const Ring& ring : rings_) bytes += ring.cells.capacity() * sizeof(Slot);
    return bytes;
}

}  // namespace pyx
