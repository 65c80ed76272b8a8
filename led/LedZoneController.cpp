#include "led/LedZoneController.h"

#include <chrono>
#include <vector>

#include "led/LedBus.h"

namespace pyx {

namespace {

using namespace std::chrono_literals;

struct ZoneStep {
    uint8_t reg;
    uint8_t value;
    bool pauseAfter;
    // The dark mode clears the colour registers one by one; a failure among them only skips
    // the rest of them, and the effect writes still follow.
    bool colourClear;
};

std::vector<ZoneStep> ZoneSequence(uint32_t gm1Mode) {
    switch (gm1Mode) {
        case 0:  // the default: red, whatever colour was chosen
            return {{0x02, 0xFF, true, false}, {0x03, 0x00, true, false}, {0x04, 0x00, true, false},
                    {0x05, 0x00, true, false}, {0x06, 0x05, false, false}};
        case 1:  // static
            return {{0x05, 0x00, true, false}, {0x06, 0x20, false, false}};
        case 2:  // rainbow
            return {{0x06, 0x02, true, false}, {0x05, 0x84, false, false}};
        case 3:  // cycle breathing
            return {{0x06, 0x40, true, false}, {0x05, 0x84, false, false}};
        case 4:  // single-colour breathing
            return {{0x06, 0x04, false, false}, {0x05, 0x04, false, false}};
        case 5:  // all off
            return {{0x02, 0x00, true, true}, {0x03, 0x00, true, true}, {0x04, 0x00, false, true},
                    {0x06, 0x01, true, false}, {0x05, 0x00, false, false}};
        default:
            return {};
    }
}

}  // namespace

LedWriteResult ApplyZoneMode(GpuBoardTable& table, int gpu, uint8_t zoneAddress, uint32_t gm1Mode,
                             LedColour colour, LedPacer& pacer) {
    LedWriteResult result;
    result.Note(gpu, zoneAddress, kZoneRegColour,
                WriteLedBytes(table, gpu, zoneAddress, kZoneRegColour, {colour.r, colour.g, colour.b}));

    const std::vector<ZoneStep> steps = ZoneSequence(gm1Mode);
    for (size_t i = 0; i < steps.size(); ++i) {
        const ZoneStep& step = steps[i];
        if (result.Note(gpu, zoneAddress, step.reg, WriteLedByte(table, gpu, zoneAddress, step.reg, step.value))) {
            if (step.pauseAfter) pacer.SleepFor(10ms);
            continue;
        }
        if (!step.colourClear) break;
        while (i + 1 < steps.size() && steps[i + 1].colourClear) ++i;
    }

    // The commit goes out even when the sequence stopped early, so the zone never stays
    // half-programmed.
    pacer.SleepFor(10ms);
    result.Note(gpu, zoneAddress, kZoneRegCommit, WriteLedByte(table, gpu, zoneAddress, kZoneRegCommit, kLedCommitValue));
    return result;
}

LedWriteResult WriteZoneFrame(GpuBoardTable& table, int gpu, uint8_t zoneAddress, LedColour colour) {
    LedWriteResult result;
    result.Note(gpu, zoneAddress, kZoneRegColour,
                WriteLedBytes(table, gpu, zoneAddress, kZoneRegColour, {colour.r, colour.g, colour.b, 0x00, 0x20}));
    return result;
}

LedWriteResult WriteZoneFrame(GpuBoardTable& table, int gpu, std::span<const uint8_t> zoneAddresses,
                              LedColour colour) {
    LedWriteResult result;
    for (const uint8_t address : zoneAddresses) result.Append(WriteZoneFrame(table, gpu, address, colour));
    return result;
}

LedWriteResult ResetZoneController(GpuBoardTable& table, int gpu, uint8_t zoneAddress) {
    LedWriteResult result;
    result.Note(gpu, zoneAddress, kZoneRegColour,
                WriteLedBytes(table, gpu, zoneAddress, kZoneRegColour, {0xFF, 0x00, 0x00, 0x00, 0x05}));
    return result;
}

}  // namespace pyx
