#pragma once
#include "gpu/GpuBoardTable.h"
#include "led/LedController.h"

namespace pyx {

// The class-2 basic controller (at 0x8A): one colour in byte registers, latched after the
// library's lighting tick. Every effect on it is animated by the program.
class BasicClass2Controller : public LedController {
public:
    BasicClass2Controller(GpuBoardTable& table, int gpu);

    [[nodiscard]] LedWriteResult ApplyMode(uint32_t, LedColour, LedPacer&) override { return {}; }
    // The register writes, the library's lighting tick, then the latch. The tick is the
    // library's, not a write: its status is not a refusal.
    [[nodiscard]] LedWriteResult WriteFrame(const LedFrame& frame) override;
    [[nodiscard]] LedResetResult Reset(LedPacer&, const std::function<void()>&) override { return {}; }

private:
    NvStatus LightingTick();

    GpuBoardTable& table_;
    const int gpu_;
};

}  // namespace pyx
