#include "gpu/CardTuningState.h"

#include <algorithm>

#include "gpu/TuningSnapshot.h"

namespace pyx {

namespace {

// A domain whose range holds one value cannot have moved; P-state 0 may not list it at all
// (its offset then reads as zeros), and a write would only be refused.
bool Settable(const ClockOffset& offset) { return offset.minKHz < offset.maxKHz; }

void RestoreOffsets(const CardTuning& card, const ClockOffsets& offsets, CardWrites& out) {
    TuningSnapshot snapshot;
    if (Settable(offsets.memory)) snapshot.memoryOffsetKHz = offsets.memory.valueKHz;
    if (Settable(offsets.graphics)) snapshot.graphicsOffsetKHz = offsets.graphics.valueKHz;
    if (!snapshot.memoryOffsetKHz && !snapshot.graphicsOffsetKHz) return;
    const CardWrites written = card.Write(snapshot);
    out.Append(written);
    // As after a mode's refused offset: the driver settles on one more read.
    if (written.Refused(TuningOperation::GraphicsClockOffset) && card.Style() != TuningStyle::VfPoints)
        card.SettleAfterRefusedOffset();
}

// A fan already running as captured is left alone: handing a fan back is not free of effects
// (the tachometer chip takes the program's own curve over the one it held, a fixed level
// counts as this run's), and only what the change moved is to be taken back.
bool RunsAsCaptured(const FanOutletState& captured, const std::vector<FanOutletState>& now) {
    for (const FanOutletState& fan : now) {
        if (fan.outlet != captured.outlet) continue;
        if (fan.mode != captured.mode) return false;
        return fan.mode == FanControlMode::Automatic || (fan.mode == FanControlMode::Manual && fan.level == captured.level);
    }
    return false;
}

// A fan whose mode, or whose fixed level, the card would not report is not written: nothing
// says what it ran at.
bool Restorable(const FanOutletState& fan) {
    return fan.mode == FanControlMode::Automatic || (fan.mode == FanControlMode::Manual && fan.level.has_value());
}

void RestoreFans(const CardTuning& card, const std::vector<FanOutletState>& captured, CardWrites& out) {
    const std::vector<FanOutletState> now = card.ReadFans();
    std::vector<const FanOutletState*> coolers;
    for (const FanOutletState& fan : captured) {
        if (!Restorable(fan) || RunsAsCaptured(fan, now)) continue;
        if (fan.outlet.IsCooler()) {
            coolers.push_back(&fan);
        } else if (fan.mode == FanControlMode::Automatic) {
            out.Append(card.Write({.fan = FanRequest::Automatic()}));
        } else {
            out.Append(card.Write({.fan = FanRequest::Fixed(*fan.level, fan.unit)}));
        }
    }
    // Coolers one by one, as they may have run apart; those the card drives first, so that
    // what this run last told the interface is "fixed" while any cooler is.
    std::stable_partition(coolers.begin(), coolers.end(),
                          [](const FanOutletState* fan) { return fan->mode == FanControlMode::Automatic; });
    for (const FanOutletState* fan : coolers)
        out.Append(card.WriteFanCooler(fan->outlet.coolerId,
                                       fan->mode == FanControlMode::Automatic ? 0 : *fan->level));
}

// Only the points that moved: each point's write is three library calls, and a curve has up
// to 255 points. When the curve cannot be read now, every point is sent.
void RestoreVfPoints(const CardTuning& card, const std::vector<VfPointOffset>& captured, CardWrites& out) {
    const std::optional<std::vector<VfPointOffset>> now = card.ReadVfPoints();
    std::vector<VfPointOffset> moved;
    for (const VfPointOffset& point : captured)
        if (!now || std::find(now->begin(), now->end(), point) == now->end()) moved.push_back(point);
    if (!moved.empty()) out.Append(card.WriteVfPoints(moved));
}

}  // namespace

CardTuningState CaptureTuning(GpuBoardTable& table, int gpu) {
    CardTuningState state;
    const CardTuning card(table, gpu);
    if (!card.Valid()) return state;
    state.offsets = card.ReadClockOffsets();
    state.vfPoints = card.ReadVfPoints();
    state.powerPcm = card.ReadPowerPcm();
    state.thermalLimitC = card.ReadExactThermalLimitC();
    state.fans = card.ReadFans();
    return state;
}

CardWrites RestoreTuning(GpuBoardTable& table, int gpu, const CardTuningState& state) {
    CardWrites out;
    const CardTuning card(table, gpu);
    if (!card.Valid()) return out;
    // Each field below is written only when the capture read it.
    if (state.offsets) RestoreOffsets(card, *state.offsets, out);
    if (state.powerPcm) out.Append(card.Write({.powerPcm = *state.powerPcm}));
    if (state.thermalLimitC) out.Append(card.Write({.thermalLimitC = *state.thermalLimitC}));
    RestoreFans(card, state.fans, out);
    if (state.vfPoints) RestoreVfPoints(card, *state.vfPoints, out);
    return out;
}

}  // namespace pyx
