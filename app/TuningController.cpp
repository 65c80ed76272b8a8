#include "app/TuningController.h"

#include <cstdint>
#include <cstring>
#include <utility>

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
constexpr uint32_t kFanTypeCoolersOnly = 4;

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

// Keeps the first refusal of a sequence whose later writes still run.
void KeepFirst(NvStatus& first, NvStatus status) {
    if (first == kNvOk) first = status;
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

}  // namespace

LoadedLighting LoadedLightingFromSettings(const LedSettings& settings, int32_t ledControllerKind) {
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
    out.startBasicEffect = ledControllerKind == 1 || ledControllerKind == 2;
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

ApplyOutcome TuningController::ApplyMode(TuningPage& page, std::vector<PresetRefusal>* refusals) {
    const int mode = page.tuningMode;
    if (mode == kTuningModeExtreme || mode == kTuningModePerformance || mode == kTuningModeCustom) {
        if (!callbacks_.confirmWarning ||
            !callbacks_.confirmWarning(kOverclockWarningText, kOverclockWarningCaption))
            return ApplyOutcome::Refused;
    }
    Notify(callbacks_.applyLighting);

    const auto runPreset = [this, &page, refusals](NvStatus (TuningController::*preset)(int)) {
        ForTargetGpus(page, page.linkAllGpus, [this, preset, refusals](int gpu) {
            const NvStatus status = (this->*preset)(gpu);
            if (status != kNvOk && refusals != nullptr) refusals->push_back({gpu, status});
        });
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
            ApplyCustomMode(page);
            Notify(callbacks_.pageChanged);
            state_.gpuMode = kTuningModeCustom;
            break;
        default:
            break;
    }

    page.settingsCommitted = true;
    if (callbacks_.showResult) callbacks_.showResult(kAppliedText, kAppliedCaption);
    return ApplyOutcome::Applied;
}

NvStatus TuningController::ApplyExtreme(int gpu) {
    if (!table_.IsValidGpu(gpu)) return kNvFailed;
    NvStatus first = kNvOk;
    KeepFirst(first, SetMemoryClockOffset(table_, gpu, 0));
    KeepFirst(first, SetGraphicsClockOffset(table_, gpu, 0));
    BoostClocks boost;
    ReadBoostClocks(table_, gpu, boost);
    const GpuBoard& board = table_.Board(gpu);
    if (board.familyD != 0) {
        KeepFirst(first, SetGraphicsClockOffset(table_, gpu, board.isSubsysA014 != 0
                                                                 ? kFixedExtremeOffsetKHz
                                                                 : PercentOfBoost(boost.graphicsKHz, 5)));
    } else {
        const NvStatus offset = SetGraphicsClockOffset(table_, gpu, PercentOfBoost(boost.graphicsKHz, 5));
        KeepFirst(first, offset);
        if (offset != kNvOk) ReadPstatesAfterFailure(table_, gpu);
    }
    NvPowerPoliciesInfo info;
    // Without the policy's maximum there is no power to write: a zero target is never sent.
    if (ReadPowerInfo(table_, gpu, info))
        KeepFirst(first, WritePower(table_, gpu, info.entries[0].maxPowerPcm / 1000 * 1000));
    return first;
}

NvStatus TuningController::ApplyPerformance(int gpu) {
    if (!table_.IsValidGpu(gpu)) return kNvFailed;
    NvStatus first = kNvOk;
    KeepFirst(first, SetMemoryClockOffset(table_, gpu, 0));
    KeepFirst(first, SetGraphicsClockOffset(table_, gpu, 0));
    BoostClocks boost;
    ReadBoostClocks(table_, gpu, boost);
    const NvStatus offset = SetGraphicsClockOffset(table_, gpu, PercentOfBoost(boost.graphicsKHz, 3));
    KeepFirst(first, offset);
    if (offset != kNvOk && table_.Board(gpu).familyD == 0) ReadPstatesAfterFailure(table_, gpu);
    NvPowerPoliciesInfo info;
    ReadPowerInfo(table_, gpu, info);
    KeepFirst(first, WritePower(table_, gpu, kPerformancePowerPcm));
    ReadThermalPolicies(table_, gpu, nullptr, nullptr);
    KeepFirst(first, SetThermalLimit(table_, gpu, kPerformanceThermalLimitC));
    return first;
}

NvStatus TuningController::ApplyCommon(int gpu) {
    if (!table_.IsValidGpu(gpu)) return kNvFailed;
    NvStatus first = kNvOk;
    KeepFirst(first, SetGraphicsClockOffset(table_, gpu, 0));
    KeepFirst(first, SetMemoryClockOffset(table_, gpu, 0));
    const NvStatus offset = SetGraphicsClockOffset(table_, gpu, 0);
    KeepFirst(first, offset);
    if (offset != kNvOk) ReadPstatesAfterFailure(table_, gpu);
    NvPowerPoliciesInfo info;
    // Without the policy's default there is no power to write: a zero target is never sent.
    if (ReadPowerInfo(table_, gpu, info)) KeepFirst(first, WritePower(table_, gpu, info.entries[0].defaultPowerPcm));
    KeepFirst(first, SetThermalLimit(table_, gpu, DefaultThermalLimit(table_, gpu)));
    const GpuBoard& board = table_.Board(gpu);
    const uint32_t fanType = board.fanControlType.load();
    if (fanType != kFanTypeCoolersOnly) {
        const NvStatus fan = RestoreFanAuto(table_, gpu);
        // The library fans' restore answers "not supported" whatever the card did, so only its
        // other failures (coolers unreadable, no fan cooler) say anything.
        const bool libraryFan = fanType == kFanTypeLibrary || fanType == kFanTypeLibraryPaced;
        if (!(libraryFan && fan == kNvNotSupported)) KeepFirst(first, fan);
    }
    // Custom drives these fans through the fan-cooler interface; level 0 hands them back.
    if (board.hasFanCoolersApi != 0) {
        KeepFirst(first, SetFanCoolerLevel(table_, gpu, 0.0f, kFirstCoolerId));
        KeepFirst(first, SetFanCoolerLevel(table_, gpu, 0.0f, kSecondCoolerId));
    }
    return first;
}

bool TuningController::HasVfRange(int gpu) {
    if (!table_.IsValidGpu(gpu)) return false;
    ClockDomainRanges ranges;
    if (ReadClockDomains(table_, gpu, &ranges) != kNvOk) return false;
    return ranges.graphicsOffsetMaxKHz / 2000 > ranges.graphicsOffsetMinKHz / 2000;
}

void TuningController::PutCardOffsetsOnSliders(int gpu, TuningPage& page) {
    NvPstates20 record;
    std::memset(&record, 0, sizeof record);
    if (GetPstates20(table_, gpu, &record) != kNvOk) return;
    page.gpuClock.SetClamped(P0ClockDelta(record, kDomainGraphics).value / 1000);
    page.memClock.SetClamped(P0ClockDelta(record, kDomainMemory).value / 1000);
    Notify(callbacks_.pageChanged);
}

bool TuningController::ApplyCustom(int gpu, int32_t gpuClockMHz, int32_t memClockMHz, TuningPage& page,
                                   bool useFanCoolers) {
    if (!table_.IsValidGpu(gpu)) return false;
    SetMemoryClockOffset(table_, gpu, Times1000(memClockMHz));
    const bool accepted = SetGraphicsClockOffset(table_, gpu, Times1000(gpuClockMHz)) == kNvOk;
    if (!accepted) PutCardOffsetsOnSliders(gpu, page);

    // A disabled power slider holds no choice of the user's: sending it would set 0 %.
    if (page.power.enabled && page.power.pos >= 0) WritePower(table_, gpu, static_cast<uint32_t>(Times1000(page.power.pos)));

    if (useFanCoolers) {
        SetFanCoolerLevel(table_, gpu, static_cast<float>(page.fan.pos), kFirstCoolerId);
        SetFanCoolerLevel(table_, gpu, static_cast<float>(page.fan.pos), kSecondCoolerId);
    } else {
        SetFanLevel(table_, gpu, page.fan.pos);
    }

    // Where the VF sliders stand in for the clock slider, they carry the user's offsets. A GPU
    // without a VF range has both at 0, which would undo the offsets just set.
    const bool vfRange = gpu == page.selectedGpu ? page.gpuVf.HasRange() : HasVfRange(gpu);
    if (vfRange) {
        SetGraphicsClockOffset(table_, gpu, Times1000(page.gpuVf.pos));
        SetMemoryClockOffset(table_, gpu, Times1000(page.memVf.pos));
    }
    return accepted;
}

void TuningController::ApplyCustomMode(TuningPage& page) {
    if (page.linkAllGpus) {
        // One choice for every card, even when a refused offset moves the sliders meanwhile.
        const int32_t gpuClockMHz = page.gpuClock.pos;
        const int32_t memClockMHz = page.memClock.pos;
        for (int gpu = 0; gpu < table_.gpuCount; ++gpu) ApplyCustom(gpu, gpuClockMHz, memClockMHz, page, false);
        return;
    }
    ForTargetGpus(page, false, [this, &page](int gpu) {
        ApplyCustom(gpu, page.gpuClock.pos, page.memClock.pos, page, table_.Board(gpu).hasFanCoolersApi != 0);
    });
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
            // These boards keep their offsets on the VF points: the card's first points win.
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
