#pragma once
#include <cstdint>
#include <functional>
#include <optional>

#include "led/LedColour.h"
#include "led/LedPacer.h"
#include "led/LedWriteResult.h"

namespace pyx {

// One frame of an effect the program animates itself.
struct LedFrame {
    LedColour colour;
    // The logon session is ending: the class-1 basic controller is sent a dark level byte.
    bool sessionEnding = false;
};

// What a controller's reset did.
struct LedResetResult {
    // The write that puts the controller in its default mode was taken.
    bool defaultModeTaken = false;
    // Every write of the reset that was refused.
    LedWriteResult refused;

    // Records that the default mode was taken and tells the caller at once.
    void TakeDefaultMode(const std::function<void()>& tell) {
        defaultModeTaken = true;
        if (tell) tell();
    }
};

// One lighting controller on a GPU's bus, as the program drives it: each kind keeps its own
// protocol (registers, order, pacing) behind this interface, and is made by
// LedControllerFactory from what the probe found or from the zones a page button drives.
// Every operation reports the writes the controller refused; none stops at a refusal unless
// its own sequence says so.
class LedController {
public:
    virtual ~LedController() = default;

    // What the controller needs before the program animates it (the class-1 basic
    // controller's three commands); the others need nothing.
    [[nodiscard]] virtual LedWriteResult Initialise() { return {}; }

    // A mode of the controller's own mode table (GM1MODE for the zone controller, GM2MODE for
    // the effect controller), in the colour given. The basic controllers have no modes of
    // their own: the program animates them, so nothing is sent.
    [[nodiscard]] virtual LedWriteResult ApplyMode(uint32_t mode, LedColour colour, LedPacer& pacer) = 0;

    // Before the program breathes the controller in step across cards: what it must be told so
    // that its own effect does not fight the frames.
    [[nodiscard]] virtual LedWriteResult HoldForProgramFrames() { return {}; }

    // One frame of a program-animated effect.
    [[nodiscard]] virtual LedWriteResult WriteFrame(const LedFrame& frame) = 0;

    // The Reset button's half for this controller. defaultModeTaken is called the moment
    // the controller took the write that selects its default mode, so the window can show that
    // mode while the rest is still sent. The basic controllers are reset by their effect
    // thread and send nothing here.
    [[nodiscard]] virtual LedResetResult Reset(LedPacer& pacer, const std::function<void()>& defaultModeTaken) = 0;

    // What the controller shows now, read back at start-up; nothing where it cannot tell.
    virtual std::optional<uint32_t> ReadMode() { return std::nullopt; }
    virtual std::optional<LedColour> ReadColour() { return std::nullopt; }
};

}  // namespace pyx
