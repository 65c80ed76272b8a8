#include "gpu/CardTuning.h"

#include <algorithm>
#include <cstring>
#include <iterator>

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
        const auto value = static_cast<int32_t>(celsius * 256.0f);
        return value >= entry.minLimit && value <= entry.maxLimit ? kNvOk : kLimitOutsideRange;
    }
    return kNvNotSupported;
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
    if (set == kNvOk && read == kNvOk) return ThermalLimitRefusal(info, celsius);
    return set;
}

void CardTuning::WriteFan(const FanRequest& request, CardWrites& out) const {
    const FanDriver& driver = table_.Board(gpu_).fan.Driver();
    switch (request.kind) {
        case FanRequest::Kind::Automatic: {
            const NvStatus status = driver.RestoreAutomatic(table_, gpu_);
            if (driver.RestoreAnswerCounts() || status != kNvNotSupported)
                out.Add(TuningOperation::FanAutomatic, 0, status);
            break;
        }
        case FanRequest::Kind::Fixed:
            out.Add(driver.Unit() == FanUnit::Rpm ? TuningOperation::FanSpeedRpm : TuningOperation::FanSpeed,
                    request.value, driver.SetLevel(table_, gpu_, request.value));
            break;
        case FanRequest::Kind::CoolerLevel:
            out.Add(TuningOperation::FanCoolerLevel, request.value,
                    SetFanCoolerPair(table_, gpu_, static_cast<float>(request.value)));
            break;
    }
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

CardWrites CardTuning::RestoreDefaultThermalLimit() const {
    CardWrites out;
    if (!Valid()) return out;
    const float limit = DefaultThermalLimit(table_, gpu_);
    const NvStatus status = SetThermalLimit(table_, gpu_, limit);
    if (limit != 0.0f || status != kNvOk) out.Add(TuningOperation::ThermalLimit, static_cast<int64_t>(limit), status);
    return out;
}

}  // namespace pyx
