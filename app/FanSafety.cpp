#include "app/FanSafety.h"

#include <algorithm>

#include "app/CoreTexts.h"
#include "gpu/CardSensors.h"
#include "gpu/CardTuning.h"

namespace pyx {

namespace {

int GpuCount(const GpuBoardTable& table) { return std::min<int>(table.gpuCount, kMaxGpus); }

// A fixed fan that still has headroom: at its full level it already does what the card's own
// control would do at the limit. A level the card would not report counts as headroom.
bool FixedBelowFull(const CardTuning& card) {
    const std::optional<FanLevelRange> levels = card.FanLevels();
    for (const FanOutletState& fan : card.ReadFans()) {
        if (fan.mode != FanControlMode::Manual && !fan.pinnedThisRun) continue;
        if (!fan.level) return true;
        const int32_t full = fan.unit == FanUnit::Rpm && levels && !fan.outlet.IsCooler() ? levels->max : 100;
        if (*fan.level < full) return true;
    }
    return false;
}

}  // namespace

bool FanSafety::Watching() const {
    for (int gpu = 0; gpu < GpuCount(table_); ++gpu) {
        const size_t slot = static_cast<size_t>(gpu);
        if ((CardTuning(table_, gpu).FanPinned() || adopted_[slot]) && !quiet_[slot]) return true;
    }
    return false;
}

std::vector<FanHandBack> FanSafety::Tick() {
    std::vector<FanHandBack> handBacks;
    for (int gpu = 0; gpu < GpuCount(table_); ++gpu) {
        const CardTuning card(table_, gpu);
        const size_t slot = static_cast<size_t>(gpu);
        if (!card.FanPinned() && !adopted_[slot]) {
            failedReads_[slot] = 0;
            quiet_[slot] = false;
            continue;
        }
        // A hand-back the card refused is not tried again every second; the user was told.
        if (quiet_[slot]) continue;
        FanHandBack handBack;
        handBack.gpu = gpu;
        const std::optional<int32_t> temperatureC = CardSensors(table_, gpu).ReadGpuTemperatureC();
        if (!temperatureC) {
            if (++failedReads_[slot] < kTemperatureReadsBeforeHandBack) continue;
            handBack.reason = FanHandBackReason::TemperatureLost;
        } else {
            failedReads_[slot] = 0;
            const std::optional<int32_t> limitC = card.ReadThermalLimitC();
            if (!limitC || *temperatureC < *limitC || !FixedBelowFull(card)) continue;
            handBack.reason = FanHandBackReason::ThermalLimit;
            handBack.temperatureC = *temperatureC;
            handBack.limitC = *limitC;
        }
        // A fan another run fixed is handed back on every path; this run's own, on the paths it fixed.
        handBack.writes.Add(gpu, adopted_[slot] ? card.HandBackFans() : card.HandBackPinnedFans());
        adopted_[slot] = false;
        failedReads_[slot] = 0;
        quiet_[slot] = true;
        handBacks.push_back(std::move(handBack));
    }
    return handBacks;
}

void FanSafety::WatchManualFans() {
    for (int gpu = 0; gpu < GpuCount(table_); ++gpu) {
        const std::vector<FanOutletState> fans = CardTuning(table_, gpu).ReadFans();
        adopted_[static_cast<size_t>(gpu)] = std::any_of(
            fans.begin(), fans.end(), [](const FanOutletState& fan) { return fan.mode == FanControlMode::Manual; });
    }
}

TuningReport FanSafety::HandBackPinned() {
    TuningReport report;
    for (int gpu = 0; gpu < GpuCount(table_); ++gpu) report.Add(gpu, CardTuning(table_, gpu).HandBackPinnedFans());
    return report;
}

std::string DescribeHandBack(const FanHandBack& handBack) {
    const std::vector<TuningWriteResult> refused = handBack.writes.Refusals();
    std::string outcome;
    if (refused.empty()) {
        outcome = CoreTexts::Text(kFanBackText);
    } else {
        std::string writes;
        for (const TuningWriteResult& write : refused)
            writes += (writes.empty() ? "" : "; ") + DescribeWrite(write) + ", " + StatusInWords(write.status);
        outcome = CoreTexts::Format(kFanNotBackText, {writes});
    }
    const std::string gpu = std::to_string(handBack.gpu);
    if (handBack.reason == FanHandBackReason::ThermalLimit)
        return CoreTexts::Format(kHandBackThermalText, {gpu, std::to_string(handBack.temperatureC),
                                                        std::to_string(handBack.limitC), outcome});
    return CoreTexts::Format(kHandBackTemperatureLostText,
                             {gpu, std::to_string(kTemperatureReadsBeforeHandBack), outcome});
}

}  // namespace pyx
