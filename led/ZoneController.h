#pragma once
#include <cstdint>
#include <vector>

#include "gpu/GpuBoardTable.h"
#include "led/LedController.h"

namespace pyx {

// Zone controller registers.
inline constexpr uint8_t kZoneRegColour = 0x02;  // R, G, B at 0x02..0x04
inline constexpr uint8_t kZoneRegParameter = 0x05;
inline constexpr uint8_t kZoneRegEffect = 0x06;
inline constexpr uint8_t kZoneRegCommit = 0x08;
inline constexpr uint8_t kLedCommitValue = 0x5A;

// The zone controller: one device per zone (0x58, and 0x46..0x4C), each with a colour, an
// effect and a parameter register and a commit. Driven zone by zone in the order given.
class ZoneController : public LedController {
public:
    // The mode (GM1MODE) a zone is in once its reset was taken: the red burst is its static mode.
    static constexpr uint32_t kResetMode = 1;

    // zones: the zones' 8-bit addresses, the one the controller was found by first.
    ZoneController(GpuBoardTable& table, int gpu, std::vector<uint8_t> zones);

    // Each zone: the colour burst, the GM1MODE sequence (with its 10 ms pauses, cut short by
    // the first failed write) and, always, the commit 10 ms later. A mode outside 0..5 sends
    // the colour and the commit only.
    [[nodiscard]] LedWriteResult ApplyMode(uint32_t gm1Mode, LedColour colour, LedPacer& pacer) override;

    // Each zone: R, G, B, parameter 0x00, effect 0x20 in one burst; no pause, no commit.
    [[nodiscard]] LedWriteResult WriteFrame(const LedFrame& frame) override;

    // Each zone: red with the default mode's register values, in one burst. A refused zone
    // stops nothing; the default mode counts as taken when the first zone took its burst.
    [[nodiscard]] LedResetResult Reset(LedPacer& pacer, const std::function<void()>& defaultModeTaken) override;

    // Only the main zone 0x58 is read back: its parameter and effect registers tell the
    // mode, its colour registers the colour. A controller found by another zone tells nothing.
    std::optional<uint32_t> ReadMode() override;
    std::optional<LedColour> ReadColour() override;

private:
    [[nodiscard]] LedWriteResult ApplyZoneMode(uint8_t zone, uint32_t gm1Mode, LedColour colour, LedPacer& pacer);
    bool MainZoneFirst() const;

    GpuBoardTable& table_;
    const int gpu_;
    const std::vector<uint8_t> zones_;
};

}  // namespace pyx
