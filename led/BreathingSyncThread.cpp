#include "led/BreathingSyncThread.h"

#include "led/LedControllerFactory.h"
#include "led/LedEffectEngine.h"
#include "led/LedStepTimer.h"

namespace pyx {

namespace {

// c * k / 32, from the accumulated product by a shift.
constexpr uint8_t Scale32(uint8_t c, int k) { return static_cast<uint8_t>((static_cast<int>(c) * k) >> 5); }

class SyncSequence {
public:
    SyncSequence(LedEffectEngine& engine, const LedEffectLaunch& launch, std::chrono::milliseconds step)
        : engine_(engine), launch_(launch), step_(step), timer_(engine.Pacer()) {}

    // One ramp step: wait, check, write colour * k / 32 to every card.
    bool Step(LedColour colour, int k) {
        timer_.Wait(step_);
        if (!Continues()) return false;
        const LedColour scaled{Scale32(colour.r, k), Scale32(colour.g, k), Scale32(colour.b, k)};
        const int32_t count = engine_.SyncArgs().count.load();
        GpuBoardTable& table = engine_.Table();
        for (int gpu = 0; gpu < count; ++gpu)
            engine_.RecordFrame(gpu, MakeSyncController(table, gpu, launch_.code)->WriteFrame({scaled}));
        return true;
    }

    // One breath: k = 0 .. 31 up, 32 .. 0 down.
    bool Breath(LedColour colour) {
        for (int k = 0; k <= 31; ++k)
            if (!Step(colour, k)) return false;
        for (int k = 32; k >= 0; --k)
            if (!Step(colour, k)) return false;
        return true;
    }
    // The single-colour breath follows the current colour from step to step.
    bool CurrentColourBreath() {
        for (int k = 0; k <= 31; ++k)
            if (!Step(engine_.BasicArgs().Colour(), k)) return false;
        for (int k = 32; k >= 0; --k)
            if (!Step(engine_.BasicArgs().Colour(), k)) return false;
        return true;
    }

private:
    bool Continues() const {
        const SyncThreadArgs& args = engine_.SyncArgs();
        const int32_t live = launch_.code == kSyncEffect ? args.effectMode.load() : args.zoneMode.load();
        return engine_.RunActive(launch_) && live == launch_.mode;
    }

    LedEffectEngine& engine_;
    const LedEffectLaunch& launch_;
    const std::chrono::milliseconds step_;
    LedStepTimer timer_;
};

bool CyclesPalette(int32_t kind, int32_t mode) { return kind == kSyncEffect ? mode == 6 : mode == 3; }

}  // namespace

std::optional<std::chrono::milliseconds> SyncStepLength(int32_t kind, int32_t mode) {
    using std::chrono::milliseconds;
    if (kind == kSyncZone58 || kind == kSyncZoneGroup) {
        if (mode == 3) return milliseconds(21);
        if (mode == 4) return milliseconds(22);
    } else if (kind == kSyncEffect) {
        if (mode == 6) return milliseconds(31);
        if (mode == 7) return milliseconds(22);
    }
    return std::nullopt;
}

int BreathingSyncThread(LedEffectEngine& engine, const LedEffectLaunch& launch) {
    const auto step = SyncStepLength(launch.code, launch.mode);
    if (!step) return 0;
    SyncSequence sequence(engine, launch, *step);
    if (CyclesPalette(launch.code, launch.mode)) {
        for (;;)
            for (const LedColour& colour : kLedPalette)
                if (!sequence.Breath(colour)) return 0;
    }
    while (sequence.CurrentColourBreath()) {
    }
    return 0;
}

}  // namespace pyx
