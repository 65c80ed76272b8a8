#include "led/LedApply.h"

#include <chrono>

#include "led/BasicClass1Controller.h"
#include "led/BasicEffectThread.h"
#include "led/LedControllerFactory.h"

namespace pyx {

namespace {

using std::chrono::milliseconds;

struct BasicModeRow {
    int32_t code;
    int32_t mode;
    std::optional<milliseconds> restartPause;  // none: start another without stopping
};

std::optional<BasicModeRow> BasicModeFor(uint32_t ledMode) {
    switch (ledMode) {
        case 0: return BasicModeRow{kBasicCodeStatic, 0, milliseconds(100)};
        case 1: return BasicModeRow{kBasicCodeBreathing, 1, milliseconds(100)};
        case 2: return BasicModeRow{kBasicCodeCycleBreathing, 4, milliseconds(1100)};
        case 3: return BasicModeRow{kBasicCodeFlash, 3, milliseconds(1100)};
        case 4: return BasicModeRow{kBasicCodeOff, 8, std::nullopt};
        case 6: return BasicModeRow{kBasicCodeLoad, 6, std::nullopt};
        default: return std::nullopt;
    }
}

// How long a stop waits for a frame under way, so that nothing paints over what follows.
constexpr milliseconds kLastFrameWait{500};

LedColour ModeColour(const LedPageState& page, LedEffectEngine& engine, const LedApplyOptions& options) {
    const LedColourSource source{page.colourPreset, page.SliderColour(), options.restoringLed};
    const LedColour colour = ResolveLedColour(source, engine.BasicArgs().Colour());
    engine.BasicArgs().SetColour(colour);
    return colour;
}

LedWriteResult ApplyZoneTarget(const LedPageState& page, LedEffectEngine& engine, int gpu, int gpuCount,
                               LedTarget target, const LedApplyOptions& options) {
    const int32_t kind = target == LedTarget::Zone58 ? kSyncZone58 : kSyncZoneGroup;
    // A sync thread of another mode must not keep painting over the zone's new mode.
    engine.SyncArgs().zoneMode.store(static_cast<int32_t>(page.gm1Mode));
    if ((page.gm1Mode == 3 || page.gm1Mode == 4) && gpuCount > 1) {
        engine.StartBreathingSync(kind, static_cast<int32_t>(page.gm1Mode), gpuCount);
        return {};
    }
    if (gpuCount > 1 && engine.Running(LedEffectFamily::ZoneSync))
        (void)engine.StopEffectAndWait(LedEffectFamily::ZoneSync, kLastFrameWait);
    const LedColour colour = ModeColour(page, engine, options);
    return MakeTargetController(engine.Table(), gpu, target)->ApplyMode(page.gm1Mode, colour, engine.Pacer());
}

LedWriteResult ApplyEffectTarget(const LedPageState& page, LedEffectEngine& engine, int gpu, int gpuCount,
                                 LedTarget target, const LedApplyOptions& options) {
    engine.SyncArgs().effectMode.store(static_cast<int32_t>(page.gm2Mode));
    const std::unique_ptr<LedController> controller = MakeTargetController(engine.Table(), gpu, target);
    if ((page.gm2Mode == 6 || page.gm2Mode == 7) && gpuCount > 1) {
        const LedWriteResult held = controller->HoldForProgramFrames();
        engine.StartBreathingSync(kSyncEffect, static_cast<int32_t>(page.gm2Mode), gpuCount);
        return held;
    }
    if (page.gm2Mode == 1 && gpuCount > 1 && engine.Running(LedEffectFamily::EffectSync))
        (void)engine.StopEffectAndWait(LedEffectFamily::EffectSync, kLastFrameWait);
    const LedColour colour = ModeColour(page, engine, options);
    return controller->ApplyMode(page.gm2Mode, colour, engine.Pacer());
}

// The GPUs an apply drives: all of them, or the one asked for.
struct DrivenGpus {
    int first = 0;
    int end = 0;    // one past the last
    int count = 0;  // how many GPUs the lighting is kept in step over
};

DrivenGpus Driven(const GpuBoardTable& table, std::optional<int> onlyGpu) {
    if (!onlyGpu) return {0, table.gpuCount, table.gpuCount};
    if (!table.IsValidGpu(*onlyGpu)) return {0, 0, 0};
    return {*onlyGpu, *onlyGpu + 1, 1};
}

// A thread that kept one family's zones in step on every card, running before an apply.
struct SyncBefore {
    bool zone = false;
    bool effect = false;
    LedTarget zoneTarget = LedTarget::Zone58;  // the zones the zone thread drove
};

SyncBefore RunningSync(LedEffectEngine& engine) {
    return {engine.Running(LedEffectFamily::ZoneSync), engine.Running(LedEffectFamily::EffectSync),
            engine.SyncArgs().kind.load() == kSyncZoneGroup ? LedTarget::ZoneGroup : LedTarget::Zone58};
}

// The apply stopped a thread that drove every card: a card whose own target is of the other
// family got no write of the new mode and would stay on the thread's last frame. It takes the
// page's mode for that family, as the cards the apply drove did.
LedWriteResult LeaveStoppedSyncCards(const LedPageState& page, LedEffectEngine& engine, const SyncBefore& before,
                                     const LedApplyOptions& options) {
    LedWriteResult result;
    const bool zoneStopped = before.zone && !engine.Running(LedEffectFamily::ZoneSync);
    const bool effectStopped = before.effect && !engine.Running(LedEffectFamily::EffectSync);
    if (!zoneStopped && !effectStopped) return result;
    const LedColour colour = ModeColour(page, engine, options);
    for (int gpu = 0; gpu < engine.Table().gpuCount && gpu < kMaxGpus; ++gpu) {
        const LedBoardState& board = page.boards[static_cast<size_t>(gpu)];
        const bool zoneTarget = board.ledTarget == LedTarget::Zone58 || board.ledTarget == LedTarget::Zone46 ||
                                board.ledTarget == LedTarget::ZoneGroup;
        const bool effectTarget = board.ledTarget == LedTarget::EffectAC || board.ledTarget == LedTarget::EffectGroup;
        if (zoneStopped && !zoneTarget && board.TargetAvailable(before.zoneTarget))
            result.Append(MakeTargetController(engine.Table(), gpu, before.zoneTarget)
                              ->ApplyMode(page.gm1Mode, colour, engine.Pacer()));
        if (effectStopped && !effectTarget && board.TargetAvailable(LedTarget::EffectAC))
            result.Append(MakeTargetController(engine.Table(), gpu, LedTarget::EffectAC)
                              ->ApplyMode(page.gm2Mode, colour, engine.Pacer()));
    }
    return result;
}

}  // namespace

std::optional<double> TimerPeriodMs(int timerIndex) {
    if (timerIndex < 0 || timerIndex > 7) return std::nullopt;
    return (timerIndex + 3) * 1000.0;
}

void CaptureLedSettings(const LedPageState& page, LedEffectEngine& engine, LedSettings& settings,
                        int& gpuMode) {
    LedThreadArgs& args = engine.BasicArgs();
    for (size_t k = 0; k < 3; ++k)
        if (const auto period = TimerPeriodMs(page.timerIndex[k])) args.periodMs[k].store(*period);

    LedColour colour = args.Colour();
    if (page.colourPreset == 0) {
        colour = page.SliderColour();
    } else if (const auto preset = PresetColour(page.colourPreset)) {
        colour = *preset;
    }
    args.SetColour(colour);

    settings.red = colour.r;
    settings.green = colour.g;
    settings.blue = colour.b;
    // The indexes are kept as read, even -1 for a box without a selection.
    settings.timer1 = static_cast<uint8_t>(page.timerIndex[0]);
    settings.timer2 = static_cast<uint8_t>(page.timerIndex[1]);
    settings.timer3 = static_cast<uint8_t>(page.timerIndex[2]);
    settings.ledMode = static_cast<uint8_t>(page.ledMode);
    gpuMode = page.tuningMode;
}

LedWriteResult ApplyLedSettings(const LedPageState& page, LedEffectEngine& engine, LedSettings& settings,
                                const LedApplyOptions& options) {
    const int machineGpus = engine.Table().gpuCount;
    const DrivenGpus driven = Driven(engine.Table(), options.onlyGpu);
    const SyncBefore syncBefore = RunningSync(engine);
    LedWriteResult result;
    for (int gpu = driven.first; gpu < driven.end; ++gpu) {
        const LedBoardState& board = page.boards[static_cast<size_t>(gpu)];
        const LedTarget target = board.ledTarget;
        switch (target) {
            case LedTarget::Zone58:
            case LedTarget::Zone46:
            case LedTarget::ZoneGroup:
                result.Append(ApplyZoneTarget(page, engine, gpu, driven.count, target, options));
                settings.gm1Mode = static_cast<uint8_t>(page.gm1Mode);
                break;
            case LedTarget::EffectAC:
            case LedTarget::EffectGroup:
                result.Append(ApplyEffectTarget(page, engine, gpu, driven.count, target, options));
                settings.gm2Mode = static_cast<uint8_t>(page.gm2Mode);
                break;
            case LedTarget::Basic:
                if (options.applyButton && IsBasicKind(board.ledKind))
                    result.Append(StartBasicEffect(page, engine, settings, options.ledControllerKind, options.onlyGpu));
                continue;
            default:
                continue;
        }
        if (machineGpus > 1 && options.saveLedSettings) options.saveLedSettings();
    }
    result.Append(LeaveStoppedSyncCards(page, engine, syncBefore, options));
    return result;
}

LedWriteResult StartBasicEffect(const LedPageState& page, LedEffectEngine& engine, const LedSettings& settings,
                                LedKind ledControllerKind, std::optional<int> onlyGpu) {
    GpuBoardTable& table = engine.Table();
    const DrivenGpus driven = Driven(table, onlyGpu);
    LedThreadArgs& args = engine.BasicArgs();
    engine.SetLedControllerKind(ledControllerKind);
    for (int gpu = 0; gpu < kMaxGpus; ++gpu) engine.SetLedKind(gpu, page.boards[static_cast<size_t>(gpu)].ledKind);

    LedWriteResult result;
    const std::array<uint8_t, 3> timers = {settings.timer1, settings.timer2, settings.timer3};
    for (int gpu = driven.first; gpu < driven.end; ++gpu) {
        // The class-1 commands go to every GPU: a controller of the other class, or none, simply
        // does not answer them.
        const LedWriteResult init = BasicClass1Controller(table, gpu).Initialise();
        if (engine.BasicClassFor(gpu) == LedKind::BasicClass1) result.Append(init);
        args.SetColour({settings.red, settings.green, settings.blue});
        // A saved index no box offers (255 from a box without a selection) keeps the period.
        for (size_t k = 0; k < 3; ++k)
            if (const auto period = TimerPeriodMs(timers[k])) args.periodMs[k].store(*period);

        const auto row = BasicModeFor(settings.ledMode);
        if (!row) continue;
        args.code.store(row->code);
        args.mode.store(row->mode);
        args.gpu.store(gpu);
        args.syncCount.store(driven.count > 1 ? driven.count : 0);
        engine.StartEffect(LedEffectFamily::Basic, row->restartPause);
    }
    return result;
}

}  // namespace pyx
