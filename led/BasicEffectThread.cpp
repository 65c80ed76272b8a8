#include "led/BasicEffectThread.h"

#include <chrono>

#include "led/LedEffectEngine.h"
#include "led/LedStepTimer.h"

namespace pyx {

namespace {

using namespace std::chrono_literals;

class BasicSequence {
public:
    BasicSequence(LedEffectEngine& engine, const LedEffectLaunch& launch, int32_t mode)
        : engine_(engine), args_(engine.BasicArgs()), launch_(launch), mode_(mode), timer_(engine.Pacer()) {}

    bool FlagSet() const { return engine_.RunActive(launch_); }
    bool Continues() const { return FlagSet() && args_.mode.load() == mode_; }
    void Wait(LedPacer::Clock::duration step) { timer_.Wait(step); }
    void Write(LedColour colour) { engine_.WriteBasicFrame(launch_.gpu, colour); }
    double Period(int index) const { return args_.periodMs[static_cast<size_t>(index)].load(); }
    LedColour Colour() const { return args_.Colour(); }

    // One frame of a fade: wait, check, write colour * k / 120.
    bool FadeStep(LedPacer::Clock::duration step, LedColour colour, int k) {
        Wait(step);
        if (!Continues()) return false;
        Write({ScaleComponent(colour.r, k, 120), ScaleComponent(colour.g, k, 120),
               ScaleComponent(colour.b, k, 120)});
        return true;
    }

    LedEffectEngine& engine_;
    LedThreadArgs& args_;
    const LedEffectLaunch& launch_;
    const int32_t mode_;
    LedStepTimer timer_;
};

int Static(BasicSequence& s) {
    while (s.FlagSet()) {
        s.Write(s.Colour());
        s.Wait(200ms);
        if (s.args_.mode.load() != 0) break;
    }
    return 0;
}

int Breathing(BasicSequence& s) {
    for (;;) {
        for (int k = 0; k <= 119; ++k)
            if (!s.FadeStep(StepLength(s.Period(0), 240), s.Colour(), k)) return 0;
        for (int k = 120; k >= 0; --k)
            if (!s.FadeStep(StepLength(s.Period(0), 240), s.Colour(), k)) return 0;
    }
}

int CycleBreathing(BasicSequence& s) {
    for (;;) {
        for (const LedColour& colour : kLedPalette) {
            for (int k = 0; k <= 119; ++k)
                if (!s.FadeStep(StepLength(s.Period(1), 240), colour, k)) return 0;
            for (int k = 120; k >= 0; --k)
                if (!s.FadeStep(StepLength(s.Period(1), 240), colour, k)) return 0;
        }
    }
}

int Flash(BasicSequence& s) {
    for (;;) {
        s.Write(kLedBlack);
        for (const LedColour& colour : kLedPalette) {
            const auto step = StepLength(s.Period(2), 120);
            for (int i = 0; i < 120; ++i) {
                if (!s.FlagSet()) return 0;
                s.Wait(step);
                if (!s.Continues()) return 0;
                s.Write(colour);
            }
        }
    }
}

int Load(BasicSequence& s) {
    if (!s.FlagSet()) return 0;
    while (s.args_.mode.load() == 6) {
        for (const int gpu : s.engine_.BasicTargets(s.launch_.gpu)) {
            s.Wait(500ms);
            const int32_t load = s.args_.load.load();
            s.engine_.WriteBasicFrameTo(gpu, {0, static_cast<uint8_t>(255 - load * 255 / 100), 255});
        }
        if (!s.FlagSet()) return 0;
    }
    return 0;
}

}  // namespace

int BasicEffectThread(LedEffectEngine& engine, const LedEffectLaunch& launch) {
    switch (launch.code) {
        case kBasicCodeStatic: {
            BasicSequence s(engine, launch, 0);
            return Static(s);
        }
        case kBasicCodeBreathing: {
            BasicSequence s(engine, launch, 1);
            return Breathing(s);
        }
        case kBasicCodeCycleBreathing: {
            BasicSequence s(engine, launch, 4);
            return CycleBreathing(s);
        }
        case kBasicCodeFlash: {
            BasicSequence s(engine, launch, 3);
            return Flash(s);
        }
        case kBasicCodeOff:
            engine.WriteBasicFrame(launch.gpu, kLedBlack);
            return 0;
        case kBasicCodeLoad: {
            BasicSequence s(engine, launch, 6);
            return Load(s);
        }
        default:
            return 0;
    }
}

}  // namespace pyx
