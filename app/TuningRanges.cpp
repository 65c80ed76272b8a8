#include "app/TuningRanges.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "gpu/ClockControl.h"
#include "gpu/FanControl.h"
#include "gpu/PowerControl.h"
#include "gpu/VfControl.h"

namespace pyx {

NvStatus ReadBoostClocks(GpuBoardTable& table, int gpu, BoostClocks& clocks) {
    clocks = {};
    if (!table.IsValidGpu(gpu)) return kNvFailed;
    NvClockFrequencies record;
    std::memset(&record, 0, sizeof record);
    record.version = kClockFrequenciesTag;
    record.clockType = kClockTypeBoost;
    const NvStatus status = table.Library().GetAllClockFrequencies(table.Board(gpu).gpuHandle, &record);
    if (status != kNvOk) return status;
    clocks.graphicsKHz = record.domain[kDomainGraphics].frequencyKHz;
    clocks.memoryKHz = record.domain[kDomainMemory].frequencyKHz;
    return kNvOk;
}

const char* CheckBoostClock(GpuBoardTable& table, int gpu, BoostClocks& clocks) {
    if (ReadBoostClocks(table, gpu, clocks) != kNvOk) return kNotKeplerText;
    if (clocks.graphicsKHz == 0) return kBoostClockZeroText;
    return nullptr;
}

NvPstates20::Delta P0ClockDelta(const NvPstates20& record, uint32_t domainId) {
    if (record.numPstates == 0) return {};
    const NvPstates20::Pstate& p0 = record.pstates[0];
    const uint32_t clocks = std::min<uint32_t>(record.numClocks, static_cast<uint32_t>(std::size(p0.clocks)));
    for (uint32_t c = 0; c < clocks; ++c)
        if (p0.clocks[c].domainId == domainId) return p0.clocks[c].freqDelta_kHz;
    return {};
}

namespace {

void SetFromDelta(TuningSlider& slider, const NvPstates20::Delta& delta) {
    slider.min = delta.minValue / 1000;
    slider.max = delta.maxValue / 1000;
    slider.SetClamped(delta.value / 1000);
}

// A domain may name point 255, which no record holds.
int32_t PointOffsetKHz(const VfOffsetReadings& readings, uint8_t point) {
    return point < readings.pointOffsetKHz.size() ? readings.pointOffsetKHz[point] : 0;
}

// A range with nothing in common with the limit stays empty (its minimum), as an empty range
// does everywhere else.
void LimitTo(TuningSlider& slider, const TuningSlider& limit) {
    if (!slider.HasRange()) return;
    slider.min = std::max(slider.min, limit.min);
    slider.max = std::min(slider.max, limit.max);
    if (slider.max < slider.min) slider.max = slider.min;
}

void ReadFanSlider(GpuBoardTable& table, int gpu, TuningPage& page) {
    const GpuBoard& board = table.Board(gpu);
    page.fan.enabled = board.fanControlType.load() != 4;
    if (!page.fan.enabled) return;
    page.fan.min = static_cast<int32_t>(board.fanRangeMin);
    page.fan.max = static_cast<int32_t>(board.fanRangeMax);
    int32_t reading = 10;
    if (ReadFanLevel(table, gpu, reading)) {
        page.fan.SetClamped(reading);
        page.lastFanLevel = page.fan.pos;
    }
    page.fan.Clamp();
}

void ReadPowerSlider(GpuBoardTable& table, int gpu, TuningPage& page) {
    page.power.enabled = false;
    NvPowerPoliciesInfo info;
    std::memset(&info, 0, sizeof info);
    if (GetPowerPolicyInfo(table, gpu, &info) == kNvOk &&
        info.entries[0].minPowerPcm < info.entries[0].maxPowerPcm) {
        page.power.enabled = true;
        page.power.min = static_cast<int32_t>(info.entries[0].minPowerPcm / 1000);
        page.power.max = static_cast<int32_t>(info.entries[0].maxPowerPcm / 1000);
        page.maxPowerPercent = page.power.max;
    }
    NvPowerPoliciesStatus status;
    std::memset(&status, 0, sizeof status);
    status.version = kPowerPoliciesStatusTag;
    if (GetPowerPolicyStatus(table, gpu, &status) == kNvOk)
        page.power.pos = static_cast<int32_t>(status.entries[0].powerPcm / 1000);
    page.power.Clamp();
}

}  // namespace

bool ReadFanLevel(GpuBoardTable& table, int gpu, int32_t& level) {
    // The mode read refreshes what the library fans' reading starts from.
    int32_t mode = 0;
    int32_t reading = 0;
    if (GetFanMode(table, gpu, &mode) != kNvOk || GetFanReading(table, gpu, &reading) != kNvOk) return false;
    level = reading;
    return true;
}

void ReadClockSliders(GpuBoardTable& table, int gpu, TuningPage& page) {
    NvPstates20 record;
    std::memset(&record, 0, sizeof record);
    // A failed read leaves the record zeroed, and with it the ranges.
    GetPstates20(table, gpu, &record);
    SetFromDelta(page.gpuClock, P0ClockDelta(record, kDomainGraphics));
    SetFromDelta(page.memClock, P0ClockDelta(record, kDomainMemory));
}

void ReadVfSliders(GpuBoardTable& table, int gpu, TuningPage& page) {
    ClockDomainRanges ranges;
    ReadClockDomains(table, gpu, &ranges);
    VfOffsetReadings readings;
    ReadVfPointOffsets(table, gpu, &readings);
    // The graphics VF points take half the domain's offset range on this slider.
    page.gpuVf.max = ranges.graphicsOffsetMaxKHz / 2000;
    page.gpuVf.min = ranges.graphicsOffsetMinKHz / 2000;
    page.memVf.max = ranges.memoryOffsetMaxKHz / 1000;
    page.memVf.min = ranges.memoryOffsetMinKHz / 1000;
    // Custom sends the VF sliders' values to the card as P-state offsets, which the card
    // takes only within the clock sliders' ranges: a VF slider offers no value outside them.
    LimitTo(page.gpuVf, page.gpuClock);
    LimitTo(page.memVf, page.memClock);
    // Where they stand in for the clock sliders they show what the card holds there: showing
    // the VF points' own offsets instead put 0 on the slider of a card tuned +100 MHz, and an
    // unchanged Apply then took the +100 away.
    if (page.gpuVf.HasRange()) {
        NvPstates20 record;
        std::memset(&record, 0, sizeof record);
        if (GetPstates20(table, gpu, &record) == kNvOk) {
            page.gpuVf.SetClamped(P0ClockDelta(record, kDomainGraphics).value / 1000);
            page.memVf.SetClamped(P0ClockDelta(record, kDomainMemory).value / 1000);
            return;
        }
    }
    page.gpuVf.SetClamped(PointOffsetKHz(readings, ranges.graphicsFirstVf) / 1000);
    page.memVf.SetClamped(PointOffsetKHz(readings, ranges.memoryFirstVf) / 1000);
}

void ReadSliderRanges(GpuBoardTable& table, int gpu, TuningPage& page) {
    if (!table.IsValidGpu(gpu)) return;
    ReadClockSliders(table, gpu, page);
    ReadVfSliders(table, gpu, page);
    ReadFanSlider(table, gpu, page);
    ReadPowerSlider(table, gpu, page);
}

}  // namespace pyx
