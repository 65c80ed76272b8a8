#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

namespace pyx {

// Which controller a GPU's probe found first.
enum LedKind : uint32_t {
    kLedKindNone = 0,
    kLedKindBasicClass1 = 1,  // basic controller at 0x40
    kLedKindBasicClass2 = 2,  // basic controller at 0x8A
    kLedKindZone58 = 3,       // zone controller 0x58
    kLedKindEffectAC = 4,     // effect controller 0xAC
    kLedKindZone46 = 5,       // zone controller 0x46
};

// Index of each controller's flag in LedBoardState::present.
enum LedPresence : size_t {
    kPresentBasic = 0,
    kPresentZone58,
    kPresentEffectAC,
    kPresentEffectB0,
    kPresentEffectB4,
    kPresentEffectB8,
    kPresentZone46,
    kPresentZone48,
    kPresentZone4A,
    kPresentZone4C,
    kPresenceCount
};

// The controller group the LED page drives on a GPU (set by the six target buttons).
enum LedTarget : uint32_t {
    kLedTargetBasic = 0,
    kLedTargetZone58 = 2,
    kLedTargetEffectAC = 3,
    kLedTargetEffectGroup = 4,  // 0xB0, 0xB4, 0xB8
    kLedTargetZone46 = 5,
    kLedTargetZoneGroup = 6,  // 0x48, 0x4A, 0x4C
};

// One GPU's lighting: what its probes found and what the page drives.
struct LedBoardState {
    uint32_t ledKind = kLedKindNone;
    std::array<bool, kPresenceCount> present{};
    uint32_t ledTarget = kLedTargetBasic;

    // Whether the target button for ledTarget value target is enabled by what was found.
    bool TargetAvailable(uint32_t target) const {
        switch (target) {
            case kLedTargetBasic: return present[kPresentBasic];
            case kLedTargetZone58: return present[kPresentZone58];
            case kLedTargetEffectAC: return present[kPresentEffectAC];
            case kLedTargetEffectGroup:
                return present[kPresentEffectB0] || present[kPresentEffectB4] || present[kPresentEffectB8];
            case kLedTargetZone46: return present[kPresentZone46];
            case kLedTargetZoneGroup:
                return present[kPresentZone48] || present[kPresentZone4A] || present[kPresentZone4C];
            default: return false;
        }
    }
};

}  // namespace pyx
