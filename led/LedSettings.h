#pragma once
#include <cstdint>

namespace pyx {

// The nine saved lighting bytes, in file order. The defaults are those of a first start:
// red, and LEDMODE 9, which stands for "no effect chosen yet" and starts nothing.
struct LedSettings {
    uint8_t ledMode = 9;  // "LEDMODE"
    uint8_t red = 255;    // "LED_R_CR"
    uint8_t green = 0;    // "LED_G_CR"
    uint8_t blue = 0;     // "LED_B_CR"
    uint8_t timer1 = 0;   // "LED_Timer1": breathing period index
    uint8_t timer2 = 0;   // "LED_Timer2": cycle-breathing period index
    uint8_t timer3 = 0;   // "LED_Timer3": flash hold index
    uint8_t gm1Mode = 0;  // "GM1MODE": zone-controller mode
    uint8_t gm2Mode = 0;  // "GM2MODE": effect-controller mode

    friend bool operator==(const LedSettings&, const LedSettings&) = default;
};

}  // namespace pyx
