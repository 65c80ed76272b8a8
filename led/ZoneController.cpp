#include "led/ZoneController.h"

#include <chrono>
#include <utility>

#include "led/LedAddresses.h"
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

ZoneController::ZoneController(GpuBoardTable& table, int gpu, std::vector<uint8_t> zones)
    : table_(table), gpu_(gpu), zones_(std::move(zones)) {}

LedWriteResult ZoneController::ApplyMode(uint32_t gm1Mode, LedColour colour, LedPacer& pacer) {
    LedWriteResult result;
    for (const uint8_t zone : zones_) result.Append(ApplyZoneMode(zone, gm1Mode, colour, pacer));
    return result;
}

LedWriteResult ZoneController::ApplyZoneMode(uint8_t zone, uint32_t gm1Mode, LedColour colour, LedPacer& pacer) {
    LedWriteResult result;
    result.Note(gpu_, zone, kZoneRegColour,
                WriteLedBytes(table_, gpu_, zone, kZoneRegColour, {colour.r, colour.g, colour.b}));

    const std::vector<ZoneStep> steps = ZoneSequence(gm1Mode);
    for (size_t i = 0; i < steps.size(); ++i) {
        const ZoneStep& step = steps[i];
        if (result.Note(gpu_, zone, step.reg, WriteLedByte(table_, gpu_, zone, step.reg, step.value))) {
            if (step.pauseAfter) pacer.SleepFor(10ms);
            continue;
        }
        if (!step.colourClear) break;
        while (i + 1 < steps.size() && steps[i + 1].colourClear) ++i;
    }

    // The commit goes out even when the sequence stopped early, so the zone never stays
    // half-programmed.
    pacer.SleepFor(10ms);
    result.Note(gpu_, zone, kZoneRegCommit, WriteLedByte(table_, gpu_, zone, kZoneRegCommit, kLedCommitValue));
    return result;
}

LedWriteResult ZoneController::WriteFrame(const LedFrame& frame) {
    const LedColour c = frame.colour;
    LedWriteResult result;
    for (const uint8_t zone : zones_)
        result.Note(gpu_, zone, kZoneRegColour, WriteLedBytes(table_, gpu_, zone, kZoneRegColour, {c.r, c.g, c.b, 0x00, 0x20}));
    return result;
}

LedResetResult ZoneController::Reset(LedPacer&, const std::function<void()>& defaultModeTaken) {
    LedResetResult result;
    for (size_t i = 0; i < zones_.size(); ++i) {
        const bool taken = result.refused.Note(
            gpu_, zones_[i], kZoneRegColour,
            WriteLedBytes(table_, gpu_, zones_[i], kZoneRegColour, {0xFF, 0x00, 0x00, 0x00, 0x05}));
        if (i == 0 && taken) result.TakeDefaultMode(defaultModeTaken);
    }
    return result;
}

bool ZoneController::MainZoneFirst() const { return !zones_.empty() && zones_.front() == kZoneMainAddress; }

std::optional<uint32_t> ZoneController::ReadMode() {
    if (!MainZoneFirst()) return std::nullopt;
    uint8_t parameter = 0;
    if (ReadLedByte(table_, gpu_, kZoneMainAddress, kZoneRegParameter, parameter) != kNvOk) return std::nullopt;
    if (parameter >= 8) {
        // The animated modes set the parameter's high bit; the effect code tells them apart.
        uint8_t effect = 0;
        if (ReadLedByte(table_, gpu_, kZoneMainAddress, kZoneRegEffect, effect) != kNvOk) return std::nullopt;
        if (effect == 0x02) return 2;
        if (effect == 0x40) return 3;
        return std::nullopt;
    }
    if (parameter == 0x04) return 4;
    if (parameter == 0x01) return 5;
    if (parameter == 0x20 || parameter == 0x00) return 1;
    return std::nullopt;
}

std::optional<LedColour> ZoneController::ReadColour() {
    if (!MainZoneFirst()) return std::nullopt;
    return ReadLedColour(table_, gpu_, kZoneMainAddress, kZoneRegColour);
}

}  // namespace pyx
