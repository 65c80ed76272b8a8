#pragma once
#include <cstdint>
#include <vector>

#include "gpu/GpuBoardTable.h"
#include "led/LedController.h"

namespace pyx {

// Effect controller registers.
inline constexpr uint8_t kEffectRegColour = 0x02;      // R, G, B at 0x02..0x04
inline constexpr uint8_t kEffectRegParameter1 = 0x21;  // parameters 1..4 at 0x21..0x24
inline constexpr uint8_t kEffectRegCode = 0x30;
inline constexpr uint8_t kEffectRegCommit = 0x40;
inline constexpr uint8_t kEffectRegDefault = 0x50;
inline constexpr uint8_t kEffectCodeStatic = 0x01;

// The effect controller: one device per zone (0xAC, the main one, and 0xB0..0xB8), each with
// its own effect table run by the controller. Driven zone by zone in the order given.
class EffectController : public LedController {
public:
    // The mode (GM2MODE) the main zone is in once its reset was taken: effect code 0x00.
    static constexpr uint32_t kResetMode = 9;

    // zones: the zones' 8-bit addresses, in the order they are driven.
    EffectController(GpuBoardTable& table, int gpu, std::vector<uint8_t> zones);

    // Each zone: the colour burst, the GM2MODE parameters and effect code, and always the
    // commit; 10 ms after every acknowledged write, and the first failed write of the mode
    // cuts it short. A mode without a row (12..39, 41..89, above 90) sends the colour and the
    // commit only.
    [[nodiscard]] LedWriteResult ApplyMode(uint32_t gm2Mode, LedColour colour, LedPacer& pacer) override;

    // The main zone 0xAC takes the static effect code, whichever zones are driven, so that
    // the program's breathing frames are not overdrawn by an effect of the controller's own.
    [[nodiscard]] LedWriteResult HoldForProgramFrames() override;

    // One colour burst to each zone, in order; no pause, no commit.
    [[nodiscard]] LedWriteResult WriteFrame(const LedFrame& frame) override;

    // Each zone's reset to effect code 0x00, 10 ms apart: the main zone 0xAC is sent its
    // parameters and then its code, the others their code first. A refused write stops
    // nothing; the default mode counts as taken when the first zone took its code.
    [[nodiscard]] LedResetResult Reset(LedPacer& pacer, const std::function<void()>& defaultModeTaken) override;

    // Only the main zone 0xAC is read back: its effect code tells the mode, its colour
    // registers the colour.
    std::optional<uint32_t> ReadMode() override;
    std::optional<LedColour> ReadColour() override;

private:
    [[nodiscard]] LedWriteResult ApplyZoneMode(uint8_t zone, uint32_t gm2Mode, LedColour colour, LedPacer& pacer);
    bool MainZoneFirst() const;

    GpuBoardTable& table_;
    const int gpu_;
    const std::vector<uint8_t> zones_;
};

}  // namespace pyx
