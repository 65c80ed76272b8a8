#include "gpu/CardTuning.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>

#include "gpu/FanControl.h"
#include "gpu/FanCoolerPair.h"
#include "gpu/PowerControl.h"
#include "gpu/ThermalControl.h"
#include "gpu/VfControl.h"

namespace pyx {

namespace {

// The library's answer to a value it does not accept.
constexpr NvStatus kLimitOutsideRange = -5;
constexpr uint32_t kMaxThermalPolicies = 4;
constexpr uint32_t kClockTypeProgrammable = 0;

ClockOffset P0Offset(const NvPstates20& record, uint32_t domainId) {
    if (record.numPstates == 0) return {};
    const NvPstates20::Pstate& p0 = record.pstates[0];
    const uint32_t clocks = std::min<uint32_t>(record.numClocks, static_cast<uint32_t>(std::size(p0.clocks)));
    for (uint32_t c = 0; c < clocks; ++c) {
        if (p0.clocks[c].domainId != domainId) continue;
        const NvPstates20::Delta& delta = p0.clocks[c].freqDelta_kHz;
        return {delta.value, delta.minValue, delta.maxValue};
    }
    return {};
}

// The limit SetThermalLimit is asked for, judged by the policies read just before: it leaves a
// limit outside the acoustic policy's range (or a card without that policy) alone and answers
// 0, which would read as taken. Such a limit is refused as the library refuses a value it does
// not accept, or as a board without the operation.
NvStatus ThermalLimitRefusal(const NvThermalPoliciesInfo& info, float celsius) {
    if ((info.flags & 1u) == 0) return kNvNotSupported;
    const uint32_t count = std::min<uint32_t>(info.count, kMaxThermalPolicies);
    for (uint32_t i = 0; i < count; ++i) {
        const NvThermalPoliciesInfo::Entry& entry = info.entries[i];
        if (entry.policyId != kAcousticPolicyId) continue;
        // Compared as SetThermalLimit compares it, in double: a limit from a file may be far
        // beyond what an int32 of 1/256 degrees holds.
        const double value = std::trunc(static_cast<double>(celsius) * 256.0);
        return std::isfinite(value) && value >= entry.minLimit && value <= entry.maxLimit ? kNvOk
                                                                                           : kLimitOutsideRange;
    }
    return kNvNotSupported;
}

// The policies' information alone: their ranges can be known where their status cannot be read.
NvStatus ReadThermalInfo(GpuBoardTable& table, int gpu, NvThermalPoliciesInfo* info) {
    std::memset(info, 0, sizeof *info);
    info->version = kThermalPoliciesInfoTag;
    return table.Library().ThermalPoliciesGetInfo(table.Board(gpu).gpuHandle, info);
}

// The default limit of the policy the limit is written to (the acoustic one), in whole
// degrees; 0 when the policies cannot be read or give no usable range.
float DefaultThermalLimit(GpuBoardTable& table, int gpu) {
    NvThermalPoliciesInfo info;
    NvThermalPoliciesStatus status;
    std::memset(&info, 0, sizeof info);
    std::memset(&status, 0, sizeof status);
    if (ReadThermalPolicies(table, gpu, &info, &status) != kNvOk) return 0.0f;
    const uint32_t count = std::min<uint32_t>(info.count, kMaxThermalPolicies);
    const NvThermalPoliciesInfo::Entry* entry = &info.entries[0];
    for (uint32_t i = 0; i < count; ++i)
        if (info.entries[i].policyId == kAcousticPolicyId) entry = &info.entries[i];
    if (entry->maxLimit <= entry->minLimit) return 0.0f;
    return static_cast<float>(entry->defaultLimit / 256);
}

}  // namespace

TuningStyle CardTuning::Style() const {
    const GpuBoard& board = table_.Board(gpu_);
    if (KeepsOffsetsOnVfPoints(board.family)) return TuningStyle::VfPoints;
    return board.hasBoostClock != 0 ? TuningStyle::PstateOffsets : TuningStyle::PstateWithoutBoost;
}

std::optional<int32_t> CardTuning::FixedOverclockKHz() const {
    const GpuBoard& board = table_.Board(gpu_);
    if (KeepsOffsetsOnVfPoints(board.family) && board.isSubsysA014) return kFixedOverclockKHz;
    return std::nullopt;
}

FanPath CardTuning::Fan() const { return table_.Board(gpu_).fan.Path(); }

FanUnit CardTuning::FanLevelUnit() const { return table_.Board(gpu_).fan.Driver().Unit(); }

bool CardTuning::HasFanCoolers() const { return table_.Board(gpu_).hasFanCoolersApi != 0; }

std::optional<FanLevelRange> CardTuning::FanLevels() const {
    const GpuBoard& board = table_.Board(gpu_);
    if (board.fan.Path() == FanPath::FanCoolers) return std::nullopt;
    return FanLevelRange{static_cast<int32_t>(board.fanRangeMin), static_cast<int32_t>(board.fanRangeMax)};
}

FanLevelRange CardTuning::FixedFanLevels() const {
    if (HasFanCoolers()) return {FanCoolerMinimum(), 100};
    // A path that names no span of levels leaves the level to the write's own rule.
    const std::optional<FanLevelRange> levels = FanLevels();
    if (levels && levels->max > levels->min) return *levels;
    return {0, FanLevelUnit() == FanUnit::Rpm ? std::numeric_limits<int32_t>::max() : 100};
}

FanUnit CardTuning::FixedFanUnit() const { return HasFanCoolers() ? FanUnit::Percent : FanLevelUnit(); }

BoostClocks CardTuning::ReadBoostClocks() const {
    BoostClocks clocks;
    (void)pyx::ReadBoostClocks(table_, gpu_, clocks);  // a failed read leaves zeros
    return clocks;
}

std::optional<ClockOffsets> CardTuning::ReadClockOffsets() const {
    NvPstates20 record;
    std::memset(&record, 0, sizeof record);
    if (GetPstates20(table_, gpu_, &record) != kNvOk) return std::nullopt;
    return ClockOffsets{P0Offset(record, kDomainGraphics), P0Offset(record, kDomainMemory)};
}

void CardTuning::SettleAfterRefusedOffset() const { (void)ReadClockOffsets(); }

std::optional<PowerRange> CardTuning::ReadPowerRange() const {
    NvPowerPoliciesInfo info;
    std::memset(&info, 0, sizeof info);
    if (GetPowerPolicyInfo(table_, gpu_, &info) != kNvOk) return std::nullopt;
    const auto& first = info.entries[0];
    return PowerRange{first.minPowerPcm, first.defaultPowerPcm, first.maxPowerPcm};
}

std::optional<uint32_t> CardTuning::ReadPowerPcm() const {
    NvPowerPoliciesStatus status;
    std::memset(&status, 0, sizeof status);
    status.version = kPowerPoliciesStatusTag;
    if (GetPowerPolicyStatus(table_, gpu_, &status) != kNvOk) return std::nullopt;
    return status.entries[0].powerPcm;
}

std::optional<int32_t> CardTuning::ReadFanLevel() const {
    int32_t mode = 0;
    int32_t reading = 0;
    if (GetFanMode(table_, gpu_, &mode) != kNvOk || GetFanReading(table_, gpu_, &reading) != kNvOk)
        return std::nullopt;
    return reading;
}

std::optional<int32_t> CardTuning::ReadFanCoolerLevel() const {
    NvFanCoolersStatus status;
    std::memset(&status, 0, sizeof status);
    if (QueryFanCoolers(table_, gpu_, nullptr, &status) != 1) return std::nullopt;
    return static_cast<int32_t>(status.entries[0].currentLevel);
}

// Reads the status so that every other policy is written back as the card reported it; a
// refused read is the write's refusal too, as nothing reaches the card.
NvStatus CardTuning::WritePower(uint32_t powerPcm) const {
    NvPowerPoliciesStatus status;
    std::memset(&status, 0, sizeof status);
    status.version = kPowerPoliciesStatusTag;
    const NvStatus read = GetPowerPolicyStatus(table_, gpu_, &status);
    if (read != kNvOk) return read;
    status.entries[0].powerPcm = powerPcm;
    return SetPowerPolicyStatus(table_, gpu_, &status);
}

NvStatus CardTuning::WriteThermalLimit(float celsius) const {
    NvThermalPoliciesInfo info;
    std::memset(&info, 0, sizeof info);
    const NvStatus read = ReadThermalPolicies(table_, gpu_, &info, nullptr);
    const NvStatus set = SetThermalLimit(table_, gpu_, celsius);
    if (set != kNvOk) return set;
    if (read == kNvOk) return ThermalLimitRefusal(info, celsius);
    // Only the status could not be read (SetThermalLimit read the information, or it would
    // have failed): it judged the limit by the information record, and so is its answer.
    if (ReadThermalInfo(table_, gpu_, &info) == kNvOk) return ThermalLimitRefusal(info, celsius);
    return set;
}

// A level a fixed fan may be set to: at least the card's minimum and never 0, which stops a
// percent fan and has no tachometer count.
bool CardTuning::FixedLevelAccepted(int32_t level) const {
    if (level <= 0) return false;
    if (const std::optional<FanLevelRange> levels = FanLevels()) return level >= levels->min;
    return true;
}

NvStatus CardTuning::RestoreBoardFan() const {
    GpuBoard& board = table_.Board(gpu_);
    const NvStatus status = board.fan.Driver().RestoreAutomatic(table_, gpu_);
    if (status == kNvOk) board.fanPathPinned = false;
    return status;
}

// The lowest level the fan coolers take by hand; 1 when the card does not say.
int32_t CardTuning::FanCoolerMinimum() const {
    NvFanCoolersStatus status;
    std::memset(&status, 0, sizeof status);
    if (QueryFanCoolers(table_, gpu_, nullptr, &status) != 1 || status.count == 0) return 1;
    return std::max<int32_t>(1, static_cast<int32_t>(status.entries[0].currentMinLevel));
}

void CardTuning::WriteFan(const FanRequest& request, CardWrites& out) const {
    GpuBoard& board = table_.Board(gpu_);
    const FanDriver& driver = board.fan.Driver();
    switch (request.kind) {
        case FanRequest::Kind::Automatic:
            out.Add(TuningOperation::FanAutomatic, 0, RestoreBoardFan());
            break;
        case FanRequest::Kind::Fixed: {
            const TuningOperation operation =
                driver.Unit() == FanUnit::Rpm ? TuningOperation::FanSpeedRpm : TuningOperation::FanSpeed;
            const bool unitMatches = !request.unit || *request.unit == driver.Unit();
            if (!unitMatches || !FixedLevelAccepted(request.value)) {
                // A level nobody could have chosen for this fan (a file's missing value, another
                // card's unit) is refused, and the fan runs by the card's own control instead.
                out.Add(operation, request.value, kLimitOutsideRange);
                out.Add(TuningOperation::FanAutomatic, 0, RestoreBoardFan());
                break;
            }
            const NvStatus status = driver.SetLevel(table_, gpu_, request.value);
            if (status == kNvOk) board.fanPathPinned = true;
            out.Add(operation, request.value, status);
            break;
        }
        case FanRequest::Kind::CoolerLevel: {
            const bool unitMatches = !request.unit || *request.unit == FanUnit::Percent;
            if (request.value > 0 && (!unitMatches || (HasFanCoolers() && request.value < FanCoolerMinimum()))) {
                out.Add(TuningOperation::FanCoolerLevel, request.value, kLimitOutsideRange);
                out.Add(TuningOperation::FanCoolerLevel, 0, SetFanCoolerPair(table_, gpu_, 0.0f));
                break;
            }
            const NvStatus status = SetFanCoolerPair(table_, gpu_, static_cast<float>(request.value));
            // Without the interface the level went to the library's cooler 0, the board's path.
            if (status == kNvOk && !HasFanCoolers()) board.fanPathPinned = request.value > 0;
            out.Add(TuningOperation::FanCoolerLevel, request.value, status);
            break;
        }
    }
}

FanControlMode CardTuning::ReadFanCoolerMode() const {
    NvFanCoolersControl control;
    std::memset(&control, 0, sizeof control);
    control.version = kFanCoolersControlTag;
    if (table_.Library().FanCoolersGetControl(table_.Board(gpu_).gpuHandle, &control) == kNvOk && control.count > 0)
        return (control.entries[0].flags & 1u) != 0 ? FanControlMode::Manual : FanControlMode::Automatic;
    switch (table_.Board(gpu_).fanCoolerControl.load()) {
        case FanCoolerControl::Manual: return FanControlMode::Manual;
        case FanCoolerControl::Automatic: return FanControlMode::Automatic;
        case FanCoolerControl::Unknown: break;
    }
    return FanControlMode::Unknown;
}

std::vector<FanOutletState> CardTuning::ReadFans() const {
    std::vector<FanOutletState> fans;
    if (!Valid()) return fans;
    GpuBoard& board = table_.Board(gpu_);
    if (board.fan.Path() != FanPath::FanCoolers) {
        FanOutletState own;
        own.outlet = {board.fan.Path(), 0};
        own.unit = FanLevelUnit();
        own.pinnedThisRun = board.fanPathPinned.load();
        int32_t mode = 0;
        if (GetFanMode(table_, gpu_, &mode) == kNvOk)
            own.mode = mode == 2 ? FanControlMode::Manual : FanControlMode::Automatic;
        int32_t level = 0;
        if (GetFanReading(table_, gpu_, &level) == kNvOk) own.level = level;
        fans.push_back(own);
    }
    if (!HasFanCoolers()) return fans;
    NvFanCoolersControl control;
    std::memset(&control, 0, sizeof control);
    control.version = kFanCoolersControlTag;
    const bool controlRead =
        table_.Library().FanCoolersGetControl(board.gpuHandle, &control) == kNvOk;
    NvFanCoolersStatus status;
    std::memset(&status, 0, sizeof status);
    if (QueryFanCoolers(table_, gpu_, nullptr, &status) != 1) status.count = 0;
    const FanControlMode known = ReadFanCoolerMode();
    const uint32_t count = std::min<uint32_t>(status.count, 32);
    for (uint32_t i = 0; i < count; ++i) {
        FanOutletState cooler;
        cooler.outlet = {FanPath::FanCoolers, status.entries[i].coolerId};
        cooler.level = static_cast<int32_t>(status.entries[i].currentLevel);
        cooler.mode = known;
        if (controlRead)
            for (uint32_t c = 0; c < std::min<uint32_t>(control.count, 32); ++c)
                if (control.entries[c].coolerId == status.entries[i].coolerId)
                    cooler.mode = (control.entries[c].flags & 1u) != 0 ? FanControlMode::Manual : FanControlMode::Automatic;
        cooler.pinnedThisRun = board.fanCoolerControl.load() == FanCoolerControl::Manual;
        fans.push_back(cooler);
    }
    return fans;
}

std::optional<int32_t> CardTuning::ReadThermalLimitC() const {
    const std::optional<float> exact = ReadExactThermalLimitC();
    if (!exact) return std::nullopt;
    return static_cast<int32_t>(*exact);
}

std::optional<float> CardTuning::ReadExactThermalLimitC() const {
    NvThermalPoliciesInfo info;
    NvThermalPoliciesStatus status;
    std::memset(&info, 0, sizeof info);
    std::memset(&status, 0, sizeof status);
    if (ReadThermalPolicies(table_, gpu_, &info, &status) != kNvOk) return std::nullopt;
    const uint32_t count = std::min<uint32_t>(status.count, kMaxThermalPolicies);
    for (uint32_t i = 0; i < count; ++i)
        if (status.entries[i].policyId == kAcousticPolicyId) return static_cast<float>(status.entries[i].limit) / 256.0f;
    return std::nullopt;
}

std::optional<ThermalLimitRange> CardTuning::ReadThermalLimitRange() const {
    NvThermalPoliciesInfo info;
    if (!Valid() || ReadThermalInfo(table_, gpu_, &info) != kNvOk || (info.flags & 1u) == 0) return std::nullopt;
    const uint32_t count = std::min<uint32_t>(info.count, kMaxThermalPolicies);
    for (uint32_t i = 0; i < count; ++i) {
        const NvThermalPoliciesInfo::Entry& entry = info.entries[i];
        if (entry.policyId != kAcousticPolicyId) continue;
        // Rounded inward, so that every whole degree in the range is one the policy takes.
        const auto wholeAbove = static_cast<int32_t>(std::ceil(entry.minLimit / 256.0));
        const auto wholeBelow = static_cast<int32_t>(std::floor(entry.maxLimit / 256.0));
        return ThermalLimitRange{wholeAbove, wholeBelow};
    }
    return std::nullopt;
}

std::optional<std::vector<VfPointOffset>> CardTuning::ReadVfPoints() const {
    VfCurve curve;
    if (!Valid() || ReadVfCurve(table_, gpu_, curve) != kNvOk) return std::nullopt;
    std::vector<VfPointOffset> points;
    for (const VfDomain& domain : curve.domains) {
        if (domain.type != kClockTypeProgrammable) continue;
        if (domain.domainId != kDomainGraphics && domain.domainId != kDomainMemory) continue;
        const VfPointDomain kind = domain.domainId == kDomainGraphics ? VfPointDomain::Graphics : VfPointDomain::Memory;
        for (const VfPoint& point : curve.points)
            if (point.type == kClockTypeProgrammable && point.index >= domain.firstVfPoint &&
                point.index <= domain.lastVfPoint)
                points.push_back({point.index, kind, point.offsetKHz});
    }
    return points;
}

CardWrites CardTuning::HandBackFans() const {
    CardWrites out;
    if (!Valid()) return out;
    // The fan-cooler path has no restore of its own: the level 0 below hands its fans back.
    if (Fan() != FanPath::FanCoolers) WriteFan(FanRequest::Automatic(), out);
    if (HasFanCoolers()) WriteFan(FanRequest::CoolerLevel(0), out);
    return out;
}

CardWrites CardTuning::HandBackPinnedFans() const {
    CardWrites out;
    if (!Valid()) return out;
    const GpuBoard& board = table_.Board(gpu_);
    if (board.fanPathPinned.load()) WriteFan(FanRequest::Automatic(), out);
    if (board.fanCoolerControl.load() == FanCoolerControl::Manual) WriteFan(FanRequest::CoolerLevel(0), out);
    return out;
}

bool CardTuning::FanPinned() const {
    if (!Valid()) return false;
    const GpuBoard& board = table_.Board(gpu_);
    return board.fanPathPinned.load() || board.fanCoolerControl.load() == FanCoolerControl::Manual;
}

// One entry per domain: the first point that refused the offset, else the last point's answer.
void CardTuning::WriteVfOffsets(const TuningSnapshot& snapshot, CardWrites& out) const {
    // A domain the board does not list keeps this empty span, so neither offset can land on
    // the other domain's points.
    ClockDomainRanges ranges;
    ranges.graphicsFirstVf = ranges.memoryFirstVf = 1;
    ranges.graphicsLastVf = ranges.memoryLastVf = 0;
    if (ReadClockDomains(table_, gpu_, &ranges) != kNvOk) return;
    const auto setSpan = [&](int first, int last, const std::optional<int32_t>& offsetKHz, TuningOperation operation) {
        if (!offsetKHz || first > last) return;
        NvStatus refused = kNvOk;
        for (int point = first; point <= last; ++point) {
            const NvStatus status = SetVfPointOffset(table_, gpu_, point, *offsetKHz);
            if (refused == kNvOk) refused = status;
        }
        out.Add(operation, *offsetKHz, refused);
    };
    setSpan(ranges.graphicsFirstVf, ranges.graphicsLastVf, snapshot.graphicsVfOffsetKHz, TuningOperation::GraphicsVfOffset);
    setSpan(ranges.memoryFirstVf, ranges.memoryLastVf, snapshot.memoryVfOffsetKHz, TuningOperation::MemoryVfOffset);
}

CardWrites CardTuning::Write(const TuningSnapshot& snapshot) const {
    CardWrites out;
    if (!Valid()) return out;
    if (const auto& khz = snapshot.memoryOffsetKHz)
        out.Add(TuningOperation::MemoryClockOffset, *khz / 1000, SetMemoryClockOffset(table_, gpu_, SaturateToInt32(*khz)));
    if (const auto& khz = snapshot.graphicsOffsetKHz)
        out.Add(TuningOperation::GraphicsClockOffset, *khz / 1000,
                SetGraphicsClockOffset(table_, gpu_, SaturateToInt32(*khz)));
    if (const auto& pcm = snapshot.powerPcm)
        out.Add(TuningOperation::PowerTarget, *pcm / 1000, WritePower(static_cast<uint32_t>(SaturateToInt32(*pcm))));
    if (const auto& celsius = snapshot.thermalLimitC)
        out.Add(TuningOperation::ThermalLimit, static_cast<int64_t>(*celsius), WriteThermalLimit(*celsius));
    if (snapshot.fan) WriteFan(*snapshot.fan, out);
    if (snapshot.graphicsVfOffsetKHz || snapshot.memoryVfOffsetKHz) WriteVfOffsets(snapshot, out);
    return out;
}

CardWrites CardTuning::WriteVfPoints(const std::vector<VfPointOffset>& points) const {
    CardWrites out;
    if (!Valid()) return out;
    for (const VfPointDomain domain : {VfPointDomain::Graphics, VfPointDomain::Memory}) {
        const TuningOperation operation =
            domain == VfPointDomain::Graphics ? TuningOperation::GraphicsVfOffset : TuningOperation::MemoryVfOffset;
        std::optional<CardWrite> answer;
        for (const VfPointOffset& point : points) {
            if (point.domain != domain) continue;
            const NvStatus status = SetVfPointOffset(table_, gpu_, point.index, point.offsetKHz);
            if (!answer || answer->status == kNvOk) answer = CardWrite{operation, point.offsetKHz, status};
        }
        if (answer) out.Add(answer->operation, answer->value, answer->status);
    }
    return out;
}

CardWrites CardTuning::WriteFanCooler(uint32_t coolerId, int32_t percent) const {
    CardWrites out;
    if (!Valid()) return out;
    // Without the interface the level would go to the library's cooler 0, which is no cooler
    // of this id.
    if (!HasFanCoolers()) {
        out.Add(TuningOperation::FanCoolerLevel, percent, kNvNotSupported);
        return out;
    }
    if (percent > 0 && percent < FanCoolerMinimum()) {
        out.Add(TuningOperation::FanCoolerLevel, percent, kLimitOutsideRange);
        out.Add(TuningOperation::FanCoolerLevel, 0, SetFanCoolerLevel(table_, gpu_, 0.0f, coolerId));
        return out;
    }
    out.Add(TuningOperation::FanCoolerLevel, percent,
            SetFanCoolerLevel(table_, gpu_, static_cast<float>(std::max(percent, 0)), coolerId));
    return out;
}

CardWrites CardTuning::RestoreDefaultThermalLimit() const {
    CardWrites out;
    if (!Valid()) return out;
    const float limit = DefaultThermalLimit(table_, gpu_);
    const NvStatus status = SetThermalLimit(table_, gpu_, limit);
    if (limit != 0.0f || status != kNvOk) out.Add(TuningOperation::ThermalLimit, static_cast<int64_t>(limit), status);
    return out;
}

}  // namespace pyx
