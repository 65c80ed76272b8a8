#pragma once
#include <chrono>
#include <cstdint>
#include <optional>

namespace pyx {

class LedEffectEngine;
struct LedEffectLaunch;

// The step wait of a sync sequence, or none for a kind and mode without one.
std::optional<std::chrono::milliseconds> SyncStepLength(int32_t kind, int32_t mode);

// Breathes every card in step: each frame goes to the kind's controllers on GPUs
// 0 .. count - 1. Runs until the family's flag is cleared, its run is ended or the live mode
// field leaves the start value; returns 0.
int BreathingSyncThread(LedEffectEngine& engine, const LedEffectLaunch& launch);

}  // namespace pyx
