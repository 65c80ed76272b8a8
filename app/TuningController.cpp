#include "app/TuningController.h"

#include <cstdint>
#include <utility>

#include "app/TuningRanges.h"
#include "gpu/CardTuning.h"
#include "gpu/VfControl.h"

namespace pyx {

namespace {

// boost x percent / 100, truncated: exact in integers, where a float product may land just
// below a whole number.
int32_t PercentOfBoost(uint32_t boostKHz, uint32_t percent) {
    return static_cast<int32_t>(static_cast<uint64_t>(boostKHz) * percent / 100);
}

}  // namespace

LoadedLighting LoadedLightingFromSettings(const LedSettings& settings, LedKind ledControllerKind) {
    LoadedLighting out;
    switch (settings.ledMode) {
        case 0: case 1: case 2: case 3: case 4: out.basicEffectButton = settings.ledMode; break;
        case 6: out.basicEffectButton = 5; break;
        default: break;
    }
    // LEDMODE 9 means no effect has been chosen yet: the trackbars keep their colour.
    out.setColour = settings.ledMode != 9;
    out.red = settings.red;
    out.green = settings.green;
    out.blue = settings.blue;
    out.timerIndex[0] = settings.timer1;
    out.timerIndex[1] = settings.timer2;
    out.timerIndex[2] = settings.timer3;
    out.startBasicEffect = IsBasicKind(ledControllerKind);
    if (settings.gm1Mode >= 1 && settings.gm1Mode <= 5) out.gm1Mode = settings.gm1Mode;
    if (settings.gm2Mode >= 1 && settings.gm2Mode <= 11) out.gm2Mode = settings.gm2Mode;
    return out;
}

TuningController::TuningController(GpuBoardTable& table, AppState& state, TuningCallbacks callbacks)
    : table_(table), state_(state), callbacks_(std::move(callbacks)) {}

void TuningController::Notify(const std::function<void()>& callback) {
    if (callback) callback();
}

void TuningController::ForTargetGpus(const TuningPage& page, bool linked,
                                     const std::function<void(int)>& run) {
    if (linked || page.selectedGpu == -1) {
        for (int gpu = 0; gpu < table_.gpuCount; ++gpu) run(gpu);
    } else if (table_.IsValidGpu(page.selectedGpu)) {
        run(page.selectedGpu);
    }
}

ApplyOutcome TuningController::ApplyMode(TuningPage& page, TuningReport* report) {
    const int mode = page.tuningMode;
    if (mode == kTuningModeExtreme || mode == kTuningModePerformance || mode == kTuningModeCustom) {
        if (!callbacks_.confirmWarning ||
            !callbacks_.confirmWarning(kOverclockWarningText, kOverclockWarningCaption))
            return ApplyOutcome::Refused;
    }
    Notify(callbacks_.applyLighting);

    TuningReport writes;
    const auto runPreset = [this, &page, &writes](TuningReport (TuningController::*preset)(int)) {
        ForTargetGpus(page, page.linkAllGpus, [this, preset, &writes](int gpu) { writes.Append((this->*preset)(gpu)); });
    };
    switch (mode) {
        case kTuningModeExtreme:
            runPreset(&TuningController::ApplyExtreme);
            state_.gpuMode = kTuningModeExtreme;
            break;
        case kTuningModePerformance:
            runPreset(&TuningController::ApplyPerformance);
            state_.gpuMode = kTuningModePerformance;
            break;
        case kTuningModeCommon:
            runPreset(&TuningController::ApplyCommon);
            state_.gpuMode = kTuningModeCommon;
            break;
        case kTuningModeCustom:
            writes = ApplyCustomMode(page);
            Notify(callbacks_.pageChanged);
            state_.gpuMode = kTuningModeCustom;
            break;
        default:
            break;
    }

    page.settingsCommitted = true;
    if (callbacks_.showResult) {
        const std::string refused = DescribeRefusals(writes);
        callbacks_.showResult(refused.empty() ? std::string(kAppliedText) : refused, kAppliedCaption);
    }
    if (report != nullptr) report->Append(writes);
    return ApplyOutcome::Applied;
}

TuningReport TuningController::ApplyExtreme(int gpu) {
    TuningReport report;
    const CardTuning card(table_, gpu);
    if (!card.Valid()) return report;
    report.Add(gpu, card.Write({.memoryOffsetKHz = 0, .graphicsOffsetKHz = 0}));
    const BoostClocks boost = card.ReadBoostClocks();
    const int32_t offsetKHz = card.FixedOverclockKHz().value_or(PercentOfBoost(boost.graphicsKHz, 5));
    const CardWrites offset = card.Write({.graphicsOffsetKHz = offsetKHz});
    report.Add(gpu, offset);
    if (offset.Refused(TuningOperation::GraphicsClockOffset) && card.Style() != TuningStyle::VfPoints)
        card.SettleAfterRefusedOffset();
    // Without the policy's maximum there is no power to write: a zero target is never sent.
    if (const auto power = card.ReadPowerRange())
        report.Add(gpu, card.Write({.powerPcm = power->maxPcm / 1000 * 1000}));
    return report;
}

TuningReport TuningController::ApplyPerformance(int gpu) {
    TuningReport report;
    const CardTuning card(table_, gpu);
    if (!card.Valid()) return report;
    report.Add(gpu, card.Write({.memoryOffsetKHz = 0, .graphicsOffsetKHz = 0}));
    const int32_t offsetKHz = PercentOfBoost(card.ReadBoostClocks().graphicsKHz, 3);
    const CardWrites offset = card.Write({.graphicsOffsetKHz = offsetKHz});
    report.Add(gpu, offset);
    if (offset.Refused(TuningOperation::GraphicsClockOffset) && card.Style() != TuningStyle::VfPoints)
        card.SettleAfterRefusedOffset();
    // Read for the board's default power word; the 90 % below needs nothing from it.
    (void)card.ReadPowerRange();
    report.Add(gpu, card.Write({.powerPcm = kPerformancePowerPcm, .thermalLimitC = kPerformanceThermalLimitC}));
    return report;
}

TuningReport TuningController::ApplyCommon(int gpu) {
    TuningReport report;
    const CardTuning card(table_, gpu);
    if (!card.Valid()) return report;
    report.Add(gpu, card.Write({.graphicsOffsetKHz = 0}));
    const CardWrites offsets = card.Write({.memoryOffsetKHz = 0, .graphicsOffsetKHz = 0});
    report.Add(gpu, offsets);
    if (offsets.Refused(TuningOperation::GraphicsClockOffset)) card.SettleAfterRefusedOffset();
    // Without the policy's default there is no power to write: a zero target is never sent.
    if (const auto power = card.ReadPowerRange()) report.Add(gpu, card.Write({.powerPcm = power->defaultPcm}));
    report.Add(gpu, card.RestoreDefaultThermalLimit());
    EndFanCurve(gpu);
    report.Add(gpu, card.HandBackFans());
    return report;
}

bool TuningController::HasVfRange(int gpu) {
    if (!table_.IsValidGpu(gpu)) return false;
    ClockDomainRanges ranges;
    if (ReadClockDomains(table_, gpu, &ranges) != kNvOk) return false;
    return ranges.graphicsOffsetMaxKHz / 2000 > ranges.graphicsOffsetMinKHz / 2000;
}

void TuningController::PutCardOffsetsOnSliders(const CardTuning& card, TuningPage& page, bool vfSlidersToo) {
    const std::optional<ClockOffsets> offsets = card.ReadClockOffsets();
    if (!offsets) return;
    const int32_t graphicsMHz = offsets->graphics.valueKHz / 1000;
    const int32_t memoryMHz = offsets->memory.valueKHz / 1000;
    page.gpuClock.SetClamped(graphicsMHz);
    page.memClock.SetClamped(memoryMHz);
    if (vfSlidersToo) {
        page.gpuVf.SetClamped(graphicsMHz);
        page.memVf.SetClamped(memoryMHz);
    }
    Notify(callbacks_.pageChanged);
}

void TuningController::PutCardValuesOnRefusedSliders(const CardTuning& card, int gpu, const TuningReport& report,
                                                     bool vfFed, TuningPage& page) {
    // The offsets already came back after a refused graphics offset; a refused memory offset
    // (or one sent from the VF sliders) still needs them.
    if (report.Refused(gpu, TuningOperation::MemoryClockOffset) ||
        (vfFed && report.Refused(gpu, TuningOperation::GraphicsClockOffset)))
        PutCardOffsetsOnSliders(card, page, vfFed);
    if (report.Refused(gpu, TuningOperation::PowerTarget))
        if (const auto powerPcm = card.ReadPowerPcm()) page.power.SetClamped(static_cast<int32_t>(*powerPcm / 1000));
    const bool fanRefused = report.Refused(gpu, TuningOperation::FanSpeed) ||
                            report.Refused(gpu, TuningOperation::FanSpeedRpm) ||
                            report.Refused(gpu, TuningOperation::FanCoolerLevel);
    if (fanRefused)
        if (const auto level = card.ReadFanLevel()) page.fan.SetClamped(*level);
}

TuningReport TuningController::ApplyCustom(int gpu, const CustomOffsetsMHz& offsetsMHz, TuningPage& page,
                                           bool useFanCoolers) {
    TuningReport report;
    const CardTuning card(table_, gpu);
    if (!card.Valid()) return report;
    // The sliders show one GPU: another's values never land on them.
    const bool shown = page.selectedGpu == -1 || gpu == page.selectedGpu;
    // Where the VF sliders stand in for the clock slider, they carry the user's offsets. A GPU
    // without a VF range has both at 0, which would undo the offsets just set.
    const bool vfRange = gpu == page.selectedGpu ? page.gpuVf.HasRange() : HasVfRange(gpu);
    const CardWrites offsets =
        card.Write({.memoryOffsetKHz = Thousandfold(offsetsMHz.memClock), .graphicsOffsetKHz = Thousandfold(offsetsMHz.gpuClock)});
    // There the hidden clock slider's values are no choice of the user's: what the card said
    // to them is not reported, the VF values' answers are.
    if (!vfRange) report.Add(gpu, offsets);
    if (offsets.Refused(TuningOperation::GraphicsClockOffset) && shown) PutCardOffsetsOnSliders(card, page);

    TuningSnapshot powerAndFan;
    // A disabled power slider holds no choice of the user's: sending it would set 0 %.
    if (page.power.enabled && page.power.pos >= 0) powerAndFan.powerPcm = Thousandfold(page.power.pos);
    // A curve takes the fan from here: its engine sends the level the temperature asks for.
    if (page.fanCurve) {
        const FanUnit unit = card.FixedFanUnit();
        std::optional<std::string> fault = FanCurveFault(*page.fanCurve, card.FixedFanLevels(), unit);
        // A curve drawn in another card's unit is refused, never converted, as a slider's level is.
        if (!fault && unit != page.fanUnit)
            fault = unit == FanUnit::Rpm ? "its levels are in %, and this fan takes RPM"
                                         : "its levels are in RPM, and this fan takes %";
        if (fault) {
            std::string why = "GPU ";
            why += std::to_string(gpu);
            why += "'s fan curve was not applied: ";
            why += *fault;
            report.Skip(std::move(why));
        }
        else
            state_.fanCurves[static_cast<size_t>(gpu)] = page.fanCurve;
    } else {
        EndFanCurve(gpu);
        powerAndFan.fan = useFanCoolers ? FanRequest::CoolerLevel(page.fan.pos, page.fanUnit)
                                        : FanRequest::Fixed(page.fan.pos, page.fanUnit);
    }
    report.Add(gpu, card.Write(powerAndFan));

    if (vfRange) {
        report.Add(gpu, card.Write({.graphicsOffsetKHz = Thousandfold(offsetsMHz.gpuVf)}));
        report.Add(gpu, card.Write({.memoryOffsetKHz = Thousandfold(offsetsMHz.memVf)}));
    }
    if (shown) PutCardValuesOnRefusedSliders(card, gpu, report, vfRange, page);
    return report;
}

TuningReport TuningController::ApplyCustomMode(TuningPage& page) {
    TuningReport report;
    if (page.linkAllGpus) {
        // One choice for every card: what the shown card's sliders say, from the VF sliders
        // where they stand in for its clock slider. Every card takes it through its own kind of
        // slider; the hidden sliders hold the other kind's old values, which must not follow.
        // Taken once, as a refused offset moves the sliders meanwhile.
        const bool shownVf = page.gpuVf.HasRange();
        const int32_t gpuMHz = shownVf ? page.gpuVf.pos : page.gpuClock.pos;
        const int32_t memMHz = shownVf ? page.memVf.pos : page.memClock.pos;
        const CustomOffsetsMHz shown{gpuMHz, memMHz, gpuMHz, memMHz};
        // Each card's fan through the interface that drives it: a fixed speed on a card whose
        // fans answer only the fan-cooler interface would be refused and leave them as they were.
        for (int gpu = 0; gpu < table_.gpuCount; ++gpu)
            report.Append(ApplyCustom(gpu, shown, page, CardTuning(table_, gpu).HasFanCoolers()));
        return report;
    }
    ForTargetGpus(page, false, [this, &page, &report](int gpu) {
        const CustomOffsetsMHz sliders{page.gpuClock.pos, page.memClock.pos, page.gpuVf.pos, page.memVf.pos};
        report.Append(ApplyCustom(gpu, sliders, page, CardTuning(table_, gpu).HasFanCoolers()));
    });
    return report;
}

TuningReport TuningController::ResetTuning(TuningPage& page) {
    TuningReport report;
    page.settingsCommitted = true;
    ForTargetGpus(page, page.linkAllGpus, [this, &page, &report](int gpu) {
        const CardTuning card(table_, gpu);
        // The sliders show the selected GPU; with no selection, the last one reset.
        const bool shown = page.selectedGpu == -1 || gpu == page.selectedGpu;
        const CardWrites offsets = card.Write({.memoryOffsetKHz = 0, .graphicsOffsetKHz = 0});
        report.Add(gpu, offsets);
        if (!offsets.Refused(TuningOperation::MemoryClockOffset) &&
            !offsets.Refused(TuningOperation::GraphicsClockOffset) && shown)
            PutCardOffsetsOnSliders(card, page);

        if (const auto power = card.ReadPowerRange()) {
            const CardWrites written = card.Write({.powerPcm = power->defaultPcm});
            report.Add(gpu, written);
            if (!written.Refused(TuningOperation::PowerTarget) && shown)
                page.power.SetClamped(static_cast<int32_t>(power->defaultPcm / 1000));
        }

        // Every fan path the card has: Custom may have fixed the fan-cooler interface's fans
        // on a card whose own path is another.
        EndFanCurve(gpu);
        report.Add(gpu, card.HandBackFans());
        if (card.Fan() == FanPath::FanCoolers && shown) page.fan.SetClamped(0);

        report.Add(gpu, card.Write({.memoryOffsetKHz = 0, .graphicsOffsetKHz = 0}));
        if (shown) {
            page.gpuVf.SetClamped(0);
            page.memVf.SetClamped(0);
        }
    });
    Notify(callbacks_.pageChanged);
    return report;
}

void TuningController::EndFanCurve(int gpu) {
    if (gpu >= 0 && gpu < kMaxGpus) state_.fanCurves[static_cast<size_t>(gpu)].reset();
}

void TuningController::RefreshFromSettings(TuningPage& page) {
    if (table_.gpuCount == 0) return;

    const int mode = state_.gpuMode >= kTuningModeExtreme && state_.gpuMode <= kTuningModeCustom
                         ? state_.gpuMode
                         : kTuningModeCustom;
    page.tuningMode = mode;
    if (callbacks_.selectTuningMode) callbacks_.selectTuningMode(mode);

    if (callbacks_.showLoadedLighting)
        callbacks_.showLoadedLighting(LoadedLightingFromSettings(state_.ledSettings, state_.ledControllerKind));

    const int gpu = page.selectedGpu;
    if (table_.IsValidGpu(gpu)) {
        const CardTuning card(table_, gpu);
        page.fan.SetClamped(state_.tuningSettings.fanSpeed);
        page.gpuVf.SetClamped(state_.tuningSettings.gpuClockOffsetMHz);
        page.memVf.SetClamped(state_.tuningSettings.memClockOffsetMHz);
        const TuningStyle style = card.Style();
        if (style == TuningStyle::PstateOffsets) {
            if (const auto offsets = card.ReadClockOffsets()) {
                page.gpuClock.SetClamped(offsets->graphics.valueKHz / 1000);
                page.memClock.SetClamped(offsets->memory.valueKHz / 1000);
            }
        }
        // What the card holds wins over the file (see ReadVfSliders).
        if (style == TuningStyle::VfPoints) ReadVfSliders(table_, gpu, page);
        // A card without a boost clock is not the window's to tune: its power stays as shown.
        if (style != TuningStyle::PstateWithoutBoost)
            if (const auto powerPcm = card.ReadPowerPcm()) page.power.SetClamped(static_cast<int32_t>(*powerPcm / 1000));
        Notify(callbacks_.pageChanged);
    }

    Notify(callbacks_.applyRestoredLighting);
}

}  // namespace pyx
