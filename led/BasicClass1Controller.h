#pragma once
#include "gpu/GpuBoardTable.h"
#include "led/LedController.h"

namespace pyx {

// The class-1 basic controller (at 0x40): one colour, set by a 10-byte block after three
// initialisation commands. Every effect on it is animated by the program.
class BasicClass1Controller : public LedController {
public:
    BasicClass1Controller(GpuBoardTable& table, int gpu);

    // The three initialisation commands. They are also how the probe finds the controller,
    // and the program sends them whatever the GPU's kind: the caller decides whether a
    // refusal means anything.
    [[nodiscard]] LedWriteResult Initialise() override;
    [[nodiscard]] LedWriteResult ApplyMode(uint32_t, LedColour, LedPacer&) override { return {}; }
    // The colour block, whose level byte is 0x00 while the logon session is ending and 0xFF
    // otherwise.
    [[nodiscard]] LedWriteResult WriteFrame(const LedFrame& frame) override;
    [[nodiscard]] LedResetResult Reset(LedPacer&, const std::function<void()>&) override { return {}; }

private:
    GpuBoardTable& table_;
    const int gpu_;
};

}  // namespace pyx
