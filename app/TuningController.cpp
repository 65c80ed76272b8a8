#include "app/TuningController.h"

#include <cstdint>
#include <cstring>
#include <utility>

#include "app/FanCoolerPair.h"
#include "app/TuningRanges.h"
#include "gpu/ClockControl.h"
#include "gpu/FanControl.h"
#include "gpu/PowerControl.h"
#include "gpu/ThermalControl.h"
#include "gpu/VfControl.h"

namespace pyx {

namespace {

constexpr uint32_t kFirstCoolerId = 1;
constexpr uint32_t kSecondCoolerId = 2;
constexpr uint32_t kFanTypeLibrary = 0;
constexpr uint32_t kFanTypeLibraryPaced = 1;
constexpr uint32_t kFanTypeTachometer = 3;
constexpr uint32_t kFanTypeCoolersOnly = 4;
// The library's answer to a value it does not accept.
constexpr NvStatus kLimitOutsideRange = -5;

// MHz to kHz, or percent to thousandths of a percent.
int32_t Times1000(int32_t value) {
    const int64_t khz = static_cast<int64_t>(value) * 1000;
    if (khz > INT32_MAX) return INT32_MAX;
    if (khz < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(khz);
}

// boost x percent / 100, truncated: exact in integers, where a float product may land just
// below a whole number.
int32_t PercentOfBoost(uint32_t boostKHz, uint32_t percent) {
    return static_cast<int32_t>(static_cast<uint64_t>(boostKHz) * percent / 100);
}

// A failed read leaves the record zeroed; the board keeps the default power word on success.
bool ReadPowerInfo(GpuBoardTable& table, int gpu, NvPowerPoliciesInfo& info) {
    std::memset(&info, 0, sizeof info);
    return GetPowerPolicyInfo(table, gpu, &info) == kNvOk;
}

// Reads the status so that every other policy is written back as the card reported it; a
// refused read is the write's refusal too, as nothing reaches the card.
NvStatus WritePower(GpuBoardTable& table, int gpu, uint32_t powerPcm) {
    NvPowerPoliciesStatus status;
    std::memset(&status, 0, sizeof status);
    status.version = kPowerPoliciesStatusTag;
    const NvStatus read = GetPowerPolicyStatus(table, gpu, &status);
    if (read != kNvOk) return read;
    status.entries[0].powerPcm = powerPcm;
    return SetPowerPolicyStatus(table, gpu, &status);
}

// Adds each write of one GPU to a report and passes its status on.
class WriteLog {
public:
    WriteLog(TuningReport& report, int gpu) : report_(report), gpu_(gpu) {}
    NvStatus operator()(TuningOperation operation, int64_t value, NvStatus status) {
        report_.Add(gpu_, operation, value, status);
        return status;
    }

private:
    TuningReport& report_;
    int gpu_;
};

TuningOperation FanOperationOf(const GpuBoard& board) {
    return board.fanControlType.load() == kFanTypeTachometer ? TuningOperation::FanSpeedRpm : TuningOperation::FanSpeed;
}

// The P-state record is read after a refused offset so the driver settles; nothing is taken.
void ReadPstatesAfterFailure(GpuBoardTable& table, int gpu) {
    NvPstates20 record;
    std::memset(&record, 0, sizeof record);
    GetPstates20(table, gpu, &record);
}

// The default limit of the policy the limit is written to (the acoustic one), in whole
// degrees; 0 when the policies cannot be read or give no usable range.
float DefaultThermalLimit(GpuBoardTable& table, int gpu) {
    NvThermalPoliciesInfo info;
    NvThermalPoliciesStatus status;
    std::memset(&info, 0, sizeof info);
    std::memset(&status, 0, sizeof status);
    if (ReadThermalPolicies(table, gpu, &info, &status) != kNvOk) return 0.0f;
    const uint32_t count = info.count < 4 ? info.count : 4;
    const NvThermalPoliciesInfo::Entry* entry = &info.entries[0];
    for (uint32_t i = 0; i < count; ++i)
        if (info.entries[i].policyId == kAcousticPolicyId) entry = &info.entries[i];
    if (entry->maxLimit <= entry->minLimit) return 0.0f;
    return static_cast<float>(entry->defaultLimit / 256);
}

// The limit SetThermalLimit is asked for, judged by the policies read just before: it leaves a
// limit outside the acoustic policy's range (or a card without that policy) alone and answers
// 0, which would read as taken. Such a limit is refused as the library refuses a value it does
// not accept, or as a board without the operation.
NvStatus ThermalLimitRefusal(const NvThermalPoliciesInfo& info, float celsius) {
    if ((info.flags & 1u) == 0) return kNvNotSupported;
    const uint32_t count = info.count < 4 ? info.count : 4;
    for (uint32_t i = 0; i < count; ++i) {
        const NvThermalPoliciesInfo::Entry& entry = info.entries[i];
        if (entry.policyId != kAcousticPolicyId) continue;
        const auto value = static_cast<int32_t>(celsius * 256.0f);
        return value >= entry.minLimit && value <= entry.maxLimit ? kNvOk : kLimitOutsideRange;
    }
    return kNvNotSupported;
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
    if (!table_.IsValidGpu(gpu)) return report;
    WriteLog log(report, gpu);
    log(TuningOperation::MemoryClockOffset, 0, SetMemoryClockOffset(table_, gpu, 0));
    log(TuningOperation::GraphicsClockOffset, 0, SetGraphicsClockOffset(table_, gpu, 0));
    BoostClocks boost;
    ReadBoostClocks(table_, gpu, boost);
    const GpuBoard& board = table_.Board(gpu);
    const int32_t offsetKHz = board.familyD != 0 && board.isSubsysA014 != 0 ? kFixedExtremeOffsetKHz
                                                                            : PercentOfBoost(boost.graphicsKHz, 5);
    const NvStatus offset = log(TuningOperation::GraphicsClockOffset, offsetKHz / 1000,
                                SetGraphicsClockOffset(table_, gpu, offsetKHz));
    if (offset != kNvOk && board.familyD == 0) ReadPstatesAfterFailure(table_, gpu);
    NvPowerPoliciesInfo info;
    // Without the policy's maximum there is no power to write: a zero target is never sent.
    if (ReadPowerInfo(table_, gpu, info)) {
        const uint32_t powerPcm = info.entries[0].maxPowerPcm / 1000 * 1000;
        log(TuningOperation::PowerTarget, powerPcm / 1000, WritePower(table_, gpu, powerPcm));
    }
    return report;
}

TuningReport TuningController::ApplyPerformance(int gpu) {
    TuningReport report;
    if (!table_.IsValidGpu(gpu)) return report;
    WriteLog log(report, gpu);
    log(TuningOperation::MemoryClockOffset, 0, SetMemoryClockOffset(table_, gpu, 0));
    log(TuningOperation::GraphicsClockOffset, 0, SetGraphicsClockOffset(table_, gpu, 0));
    BoostClocks boost;
    ReadBoostClocks(table_, gpu, boost);
    const int32_t offsetKHz = PercentOfBoost(boost.graphicsKHz, 3);
    const NvStatus offset = log(TuningOperation::GraphicsClockOffset, offsetKHz / 1000,
                                SetGraphicsClockOffset(table_, gpu, offsetKHz));
    if (offset != kNvOk && table_.Board(gpu).familyD == 0) ReadPstatesAfterFailure(table_, gpu);
    NvPowerPoliciesInfo info;
    ReadPowerInfo(table_, gpu, info);
    log(TuningOperation::PowerTarget, kPerformancePowerPcm / 1000, WritePower(table_, gpu, kPerformancePowerPcm));
    NvThermalPoliciesInfo thermal;
    std::memset(&thermal, 0, sizeof thermal);
    const NvStatus thermalRead = ReadThermalPolicies(table_, gpu, &thermal, nullptr);
    NvStatus limit = SetThermalLimit(table_, gpu, kPerformanceThermalLimitC);
    if (limit == kNvOk && thermalRead == kNvOk) limit = ThermalLimitRefusal(thermal, kPerformanceThermalLimitC);
    log(TuningOperation::ThermalLimit, static_cast<int64_t>(kPerformanceThermalLimitC), limit);
    return report;
}

TuningReport TuningController::ApplyCommon(int gpu) {
    TuningReport report;
    if (!table_.IsValidGpu(gpu)) return report;
    WriteLog log(report, gpu);
    log(TuningOperation::GraphicsClockOffset, 0, SetGraphicsClockOffset(table_, gpu, 0));
    log(TuningOperation::MemoryClockOffset, 0, SetMemoryClockOffset(table_, gpu, 0));
    const NvStatus offset = log(TuningOperation::GraphicsClockOffset, 0, SetGraphicsClockOffset(table_, gpu, 0));
    if (offset != kNvOk) ReadPstatesAfterFailure(table_, gpu);
    NvPowerPoliciesInfo info;
    // Without the policy's default there is no power to write: a zero target is never sent.
    if (ReadPowerInfo(table_, gpu, info)) {
        const uint32_t powerPcm = info.entries[0].defaultPowerPcm;
        log(TuningOperation::PowerTarget, powerPcm / 1000, WritePower(table_, gpu, powerPcm));
    }
    const float limit = DefaultThermalLimit(table_, gpu);
    const NvStatus limitStatus = SetThermalLimit(table_, gpu, limit);
    // Without a usable policy there is no default to go back to: the 0 sent changes nothing.
    if (limit != 0.0f || limitStatus != kNvOk)
        log(TuningOperation::ThermalLimit, static_cast<int64_t>(limit), limitStatus);
    const GpuBoard& board = table_.Board(gpu);
    const uint32_t fanType = board.fanControlType.load();
    if (fanType != kFanTypeCoolersOnly) {
        const NvStatus fan = RestoreFanAuto(table_, gpu);
        // The library fans' restore answers "not supported" whatever the card did: that answer
        // says nothing, and is not kept. Their other failures (coolers unreadable, no fan
        // cooler) are refusals.
        const bool libraryFan = fanType == kFanTypeLibrary || fanType == kFanTypeLibraryPaced;
        if (!(libraryFan && fan == kNvNotSupported)) log(TuningOperation::FanAutomatic, 0, fan);
    }
    // Custom drives these fans through the fan-cooler interface; level 0 hands them back.
    if (board.hasFanCoolersApi != 0) log(TuningOperation::FanCoolerLevel, 0, SetFanCoolerPair(table_, gpu, 0.0f));
    return report;
}

bool TuningController::HasVfRange(int gpu) {
    if (!table_.IsValidGpu(gpu)) return false;
    ClockDomainRanges ranges;
    if (ReadClockDomains(table_, gpu, &ranges) != kNvOk) return false;
    return ranges.graphicsOffsetMaxKHz / 2000 > ranges.graphicsOffsetMinKHz / 2000;
}

void TuningController::PutCardOffsetsOnSliders(int gpu, TuningPage& page, bool vfSlidersToo) {
    NvPstates20 record;
    std::memset(&record, 0, sizeof record);
    if (GetPstates20(table_, gpu, &record) != kNvOk) return;
    const int32_t graphicsMHz = P0ClockDelta(record, kDomainGraphics).value / 1000;
    const int32_t memoryMHz = P0ClockDelta(record, kDomainMemory).value / 1000;
    page.gpuClock.SetClamped(graphicsMHz);
    page.memClock.SetClamped(memoryMHz);
    if (vfSlidersToo) {
        page.gpuVf.SetClamped(graphicsMHz);
        page.memVf.SetClamped(memoryMHz);
    }
    Notify(callbacks_.pageChanged);
}

void TuningController::PutCardValuesOnRefusedSliders(int gpu, const TuningReport& report, bool vfFed,
                                                     TuningPage& page) {
    // The offsets already came back after a refused graphics offset; a refused memory offset
    // (or one sent from the VF sliders) still needs them.
    if (report.Refused(gpu, TuningOperation::MemoryClockOffset) ||
        (vfFed && report.Refused(gpu, TuningOperation::GraphicsClockOffset)))
        PutCardOffsetsOnSliders(gpu, page, vfFed);
    if (report.Refused(gpu, TuningOperation::PowerTarget)) {
        NvPowerPoliciesStatus status;
        std::memset(&status, 0, sizeof status);
        status.version = kPowerPoliciesStatusTag;
        if (GetPowerPolicyStatus(table_, gpu, &status) == kNvOk)
            page.power.SetClamped(static_cast<int32_t>(status.entries[0].powerPcm / 1000));
    }
    const bool fanRefused = report.Refused(gpu, TuningOperation::FanSpeed) ||
                            report.Refused(gpu, TuningOperation::FanSpeedRpm) ||
                            report.Refused(gpu, TuningOperation::FanCoolerLevel);
    int32_t reading = 0;
    if (fanRefused && ReadFanLevel(table_, gpu, reading)) page.fan.SetClamped(reading);
}

TuningReport TuningController::ApplyCustom(int gpu, int32_t gpuClockMHz, int32_t memClockMHz, TuningPage& page,
                                           bool useFanCoolers) {
    TuningReport report;
    if (!table_.IsValidGpu(gpu)) return report;
    WriteLog log(report, gpu);
    // The sliders show one GPU: another's values never land on them.
    const bool shown = page.selectedGpu == -1 || gpu == page.selectedGpu;
    log(TuningOperation::MemoryClockOffset, memClockMHz, SetMemoryClockOffset(table_, gpu, Times1000(memClockMHz)));
    const NvStatus graphics = log(TuningOperation::GraphicsClockOffset, gpuClockMHz,
                                  SetGraphicsClockOffset(table_, gpu, Times1000(gpuClockMHz)));
    if (graphics != kNvOk && shown) PutCardOffsetsOnSliders(gpu, page);

    // A disabled power slider holds no choice of the user's: sending it would set 0 %.
    if (page.power.enabled && page.power.pos >= 0)
        log(TuningOperation::PowerTarget, page.power.pos,
            WritePower(table_, gpu, static_cast<uint32_t>(Times1000(page.power.pos))));

    if (useFanCoolers) {
        log(TuningOperation::FanCoolerLevel, page.fan.pos,
            SetFanCoolerPair(table_, gpu, static_cast<float>(page.fan.pos)));
    } else {
        log(FanOperationOf(table_.Board(gpu)), page.fan.pos, SetFanLevel(table_, gpu, page.fan.pos));
    }

    // Where the VF sliders stand in for the clock slider, they carry the user's offsets. A GPU
    // without a VF range has both at 0, which would undo the offsets just set.
    const bool vfRange = gpu == page.selectedGpu ? page.gpuVf.HasRange() : HasVfRange(gpu);
    if (vfRange) {
        const int32_t gpuVfMHz = page.gpuVf.pos;
        const int32_t memVfMHz = page.memVf.pos;
        log(TuningOperation::GraphicsClockOffset, gpuVfMHz, SetGraphicsClockOffset(table_, gpu, Times1000(gpuVfMHz)));
        log(TuningOperation::MemoryClockOffset, memVfMHz, SetMemoryClockOffset(table_, gpu, Times1000(memVfMHz)));
    }
    if (shown) PutCardValuesOnRefusedSliders(gpu, report, vfRange, page);
    return report;
}

TuningReport TuningController::ApplyCustomMode(TuningPage& page) {
    TuningReport report;
    if (page.linkAllGpus) {
        // One choice for every card, even when a refused offset moves the sliders meanwhile.
        const int32_t gpuClockMHz = page.gpuClock.pos;
        const int32_t memClockMHz = page.memClock.pos;
        for (int gpu = 0; gpu < table_.gpuCount; ++gpu)
            report.Append(ApplyCustom(gpu, gpuClockMHz, memClockMHz, page, false));
        return report;
    }
    ForTargetGpus(page, false, [this, &page, &report](int gpu) {
        report.Append(ApplyCustom(gpu, page.gpuClock.pos, page.memClock.pos, page, table_.Board(gpu).hasFanCoolersApi != 0));
    });
    return report;
}

void TuningController::ResetTuning(TuningPage& page) {
    page.settingsCommitted = true;
    ForTargetGpus(page, page.linkAllGpus, [this, &page](int gpu) {
        // The sliders show the selected GPU; with no selection, the last one reset.
        const bool shown = page.selectedGpu == -1 || gpu == page.selectedGpu;
        const bool memOk = SetMemoryClockOffset(table_, gpu, 0) == kNvOk;
        const bool gpuOk = SetGraphicsClockOffset(table_, gpu, 0) == kNvOk;
        if (memOk && gpuOk && shown) PutCardOffsetsOnSliders(gpu, page);

        NvPowerPoliciesInfo info;
        if (ReadPowerInfo(table_, gpu, info) && WritePower(table_, gpu, info.entries[0].defaultPowerPcm) == kNvOk &&
            shown)
            page.power.SetClamped(static_cast<int32_t>(info.entries[0].defaultPowerPcm / 1000));

        if (table_.Board(gpu).fanControlType.load() == kFanTypeCoolersOnly) {
            SetFanCoolerLevel(table_, gpu, 0.0f, kFirstCoolerId);
            SetFanCoolerLevel(table_, gpu, 0.0f, kSecondCoolerId);
            if (shown) page.fan.SetClamped(0);
        } else {
            RestoreFanAuto(table_, gpu);
        }

        SetMemoryClockOffset(table_, gpu, 0);
        SetGraphicsClockOffset(table_, gpu, 0);
        if (shown) {
            page.gpuVf.SetClamped(0);
            page.memVf.SetClamped(0);
        }
    });
    Notify(callbacks_.pageChanged);
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
        page.fan.SetClamped(state_.tuningSettings.fanSpeed);
        page.gpuVf.SetClamped(state_.tuningSettings.gpuClockOffsetMHz);
        page.memVf.SetClamped(state_.tuningSettings.memClockOffsetMHz);
        const GpuBoard& board = table_.Board(gpu);
        const bool pstateBoard = board.hasBoostClock != 0 && board.familyD == 0;
        if (pstateBoard) {
            NvPstates20 record;
            std::memset(&record, 0, sizeof record);
            if (GetPstates20(table_, gpu, &record) == kNvOk) {
                page.gpuClock.SetClamped(P0ClockDelta(record, kDomainGraphics).value / 1000);
                page.memClock.SetClamped(P0ClockDelta(record, kDomainMemory).value / 1000);
            }
        }
        if (board.familyD != 0) {
            // What the card holds wins over the file (see ReadVfSliders).
            ReadVfSliders(table_, gpu, page);
        }
        if (pstateBoard || board.familyD != 0) {
            NvPowerPoliciesStatus status;
            std::memset(&status, 0, sizeof status);
            status.version = kPowerPoliciesStatusTag;
            if (GetPowerPolicyStatus(table_, gpu, &status) == kNvOk)
                page.power.SetClamped(static_cast<int32_t>(status.entries[0].powerPcm / 1000));
        }
        Notify(callbacks_.pageChanged);
    }

    Notify(callbacks_.applyRestoredLighting);
}

}  // namespace pyx
