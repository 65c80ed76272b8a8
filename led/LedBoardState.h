#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

namespace pyx {

// Which controller a GPU's probe found first. The numbers are those the probe's record has
// always held for each kind.
enum class LedKind : uint32_t {
    None = 0,
    BasicClass1 = 1,  // basic controller at 0x40
    BasicClass2 = 2,  // basic controller at 0x8A
    Zone58 = 3,       // zone controller, found by its main zone 0x58
    EffectAC = 4,     // effect controller 0xAC
    Zone46 = 5,       // zone controller, found by its zone 1 at 0x46
};

// The basic controllers are the ones the program animates frame by frame.
constexpr bool IsBasicKind(LedKind kind) { return kind == LedKind::BasicClass1 || kind == LedKind::BasicClass2; }

// The class of basic controller used for a GPU: its own kind, or the process-wide
// ledControllerKind when the GPU has none. Only the basic kinds name a basic controller.
constexpr LedKind BasicControllerClass(LedKind ledKind, LedKind ledControllerKind) {
    return ledKind != LedKind::None ? ledKind : ledControllerKind;
}

// The number of a kind, where a message shows it.
constexpr uint32_t LedKindNumber(LedKind kind) { return static_cast<uint32_t>(kind); }

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
enum class LedTarget : uint32_t {
    Basic = 0,
    Zone58 = 2,
    EffectAC = 3,
    EffectGroup = 4,  // 0xB0, 0xB4, 0xB8
    Zone46 = 5,
    ZoneGroup = 6,  // 0x48, 0x4A, 0x4C
};

// One GPU's lighting: what its probes found and what the page drives.
struct LedBoardState {
    LedKind ledKind = LedKind::None;
    std::array<bool, kPresenceCount> present{};
    LedTarget ledTarget = LedTarget::Basic;

    // Whether the target button for target is enabled by what was found.
    bool TargetAvailable(LedTarget target) const {
        switch (target) {
            case LedTarget::Basic: return present[kPresentBasic];
            case LedTarget::Zone58: return present[kPresentZone58];
            case LedTarget::EffectAC: return present[kPresentEffectAC];
            case LedTarget::EffectGroup:
                return present[kPresentEffectB0] || present[kPresentEffectB4] || present[kPresentEffectB8];
            case LedTarget::Zone46: return present[kPresentZone46];
            case LedTarget::ZoneGroup:
                return present[kPresentZone48] || present[kPresentZone4A] || present[kPresentZone4C];
        }
        return false;
    }
};

}  // namespace pyx
