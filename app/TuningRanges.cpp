#include "app/TuningRanges.h"

#include <algorithm>

#include "gpu/CardTuning.h"
#include "gpu/VfControl.h"

namespace pyx {

const char* CheckBoostClock(GpuBoardTable& table, int gpu, BoostClocks& clocks) {
    if (ReadBoostClocks(table, gpu, clocks) != kNvOk) return kNotKeplerText;
    if (clocks.graphicsKHz == 0) return kBoostClockZeroText;
    return nullptr;
}

namespace {

void SetFromOffset(TuningSlider& slider, const ClockOffset& offset) {
    slider.min = offset.minKHz / 1000;
    slider.max = offset.maxKHz / 1000;
    slider.SetClamped(offset.valueKHz / 1000);
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

void ReadFanSliderOf(const CardTuning& card, TuningPage& page) {
    const std::optional<FanLevelRange> levels = card.FanLevels();
    page.fan.enabled = levels.has_value();
    page.fanUnit = card.FanLevelUnit();
    if (!levels) return;
    page.fan.min = levels->min;
    page.fan.max = levels->max;
    if (const auto reading = card.ReadFanLevel()) {
        page.fan.SetClamped(*reading);
        page.lastFanLevel = page.fan.pos;
    }
    page.fan.Clamp();
}

void ReadPowerSlider(const CardTuning& card, TuningPage& page) {
    page.power.enabled = false;
    const std::optional<PowerRange> range = card.ReadPowerRange();
    if (range && range->minPcm < range->maxPcm) {
        page.power.enabled = true;
        page.power.min = static_cast<int32_t>(range->minPcm / 1000);
        page.power.max = static_cast<int32_t>(range->maxPcm / 1000);
        page.maxPowerPercent = page.power.max;
    }
    if (const auto powerPcm = card.ReadPowerPcm()) page.power.pos = static_cast<int32_t>(*powerPcm / 1000);
    page.power.Clamp();
}

}  // namespace

void ReadFanSlider(GpuBoardTable& table, int gpu, TuningPage& page) { ReadFanSliderOf(CardTuning(table, gpu), page); }

void ReadClockSliders(GpuBoardTable& table, int gpu, TuningPage& page) {
    // A failed read leaves zeros, and with them the ranges.
    const ClockOffsets offsets = CardTuning(table, gpu).ReadClockOffsets().value_or(ClockOffsets{});
    SetFromOffset(page.gpuClock, offsets.graphics);
    SetFromOffset(page.memClock, offsets.memory);
}

void ReadVfSliders(GpuBoardTable& table, int gpu, TuningPage& page) {
    ClockDomainRanges ranges;
    (void)ReadClockDomains(table, gpu, &ranges);
    VfOffsetReadings readings;
    (void)ReadVfPointOffsets(table, gpu, &readings);
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
        if (const auto offsets = CardTuning(table, gpu).ReadClockOffsets()) {
            page.gpuVf.SetClamped(offsets->graphics.valueKHz / 1000);
            page.memVf.SetClamped(offsets->memory.valueKHz / 1000);
            return;
        }
    }
    page.gpuVf.SetClamped(PointOffsetKHz(readings, ranges.graphicsFirstVf) / 1000);
    page.memVf.SetClamped(PointOffsetKHz(readings, ranges.memoryFirstVf) / 1000);
}

void ReadSliderRanges(GpuBoardTable& table, int gpu, TuningPage& page) {
    if (!table.IsValidGpu(gpu)) return;
    const CardTuning card(table, gpu);
    ReadClockSliders(table, gpu, page);
    ReadVfSliders(table, gpu, page);
    ReadFanSliderOf(card, page);
    ReadPowerSlider(card, page);
}

}  // namespace pyx
