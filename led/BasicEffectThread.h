#pragma once
#include <cstdint>

namespace pyx {

class LedEffectEngine;
struct LedEffectLaunch;

// Basic-controller effect codes (the sequence a thread runs) and the mode each runs while.
enum BasicEffectCode : int32_t {
    kBasicCodeBreathing = 0,       // runs while mode = 1
    kBasicCodeStatic = 1,          // mode 0
    kBasicCodeFlash = 3,           // mode 3
    kBasicCodeCycleBreathing = 4,  // mode 4
    kBasicCodeLoad = 6,            // mode 6
    kBasicCodeOff = 8,             // mode 8
};

// Runs one basic-controller sequence to its end and returns 0: until the running flag is
// cleared, the run is ended or the block's mode changes; one-shot codes return at once.
int BasicEffectThread(LedEffectEngine& engine, const LedEffectLaunch& launch);

}  // namespace pyx
