#pragma once
#include <array>
#include <atomic>
#include <cstdint>

#include "led/LedColour.h"

namespace pyx {

// The parameter block of the basic-controller effect. The UI thread rewrites it for each
// GPU and each new choice while a thread reads it; every field is read and written whole.
struct LedThreadArgs {
    std::atomic<int32_t> gpu{0};        // the GPU when syncCount is below 2
    std::atomic<int32_t> code{0};       // which sequence a started thread runs
    std::atomic<int32_t> syncCount{0};  // 2 or more: every frame goes to GPUs 0 .. syncCount - 1
    std::atomic<int32_t> mode{0};       // a sequence ends as soon as this leaves its value
    std::atomic<uint32_t> colour{LedColour{255, 0, 0}.Packed()};  // current colour, 0xBBGGRR
    std::atomic<int32_t> load{1};       // GPU load percent for the load colour; 0 is kept as 1
    // Periods 1..3 in milliseconds: breathing, cycle breathing per colour, flash hold.
    std::array<std::atomic<double>, 3> periodMs{3000.0, 3000.0, 3000.0};

    LedColour Colour() const { return LedColour::FromPacked(colour.load()); }
    void SetColour(LedColour c) { colour.store(c.Packed()); }
};

// Breathing-sync thread kinds.
enum LedSyncKind : int32_t {
    kSyncZone58 = 1,     // zone controller 0x58
    kSyncEffect = 2,     // effect controllers 0xAC, 0xB0, 0xB4, 0xB8
    kSyncZoneGroup = 5,  // zone controllers 0x46, 0x48, 0x4A, 0x4C
};

// The parameter block of the breathing-sync thread.
struct SyncThreadArgs {
    std::atomic<int32_t> kind{0};
    std::atomic<int32_t> mode{0};        // GM1MODE (kinds 1, 5) or GM2MODE (kind 2) at start
    std::atomic<int32_t> count{0};       // frames go to GPUs 0 .. count - 1
    std::atomic<int32_t> zoneMode{0};    // live GM1MODE, tested by kinds 1 and 5
    std::atomic<int32_t> effectMode{0};  // live GM2MODE, tested by kind 2
};

}  // namespace pyx
