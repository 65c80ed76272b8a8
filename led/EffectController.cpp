#include "led/EffectController.h"

#include <array>
#include <chrono>
#include <utility>

#include "led/LedAddresses.h"
#include "led/LedBus.h"
#include "led/ZoneController.h"

namespace pyx {

namespace {

using namespace std::chrono_literals;

struct EffectRow {
    std::vector<uint8_t> parameters;  // written one by one from register 0x21
    int effectCode;                   // -1: none
    bool defaultMode;                 // 0x50 <- 0xFF instead of an effect code
};

EffectRow EffectSequence(uint32_t gm2Mode) {
    switch (gm2Mode) {
        case 0: return {{}, -1, true};
        case 1: return {{}, 0x01, false};                   // static
        case 2: return {{0x40, 0x30}, 0x11, false};         // rainbow
        case 3: return {{0x15, 0x15, 0x16}, 0x18, false};   // ripple
        case 4: return {{0x10, 0x12}, 0x14, false};         // marquee
        case 5: return {{0x00, 0x01, 0x09}, 0x16, false};   // colour cycle
        case 6: return {{0xC8}, 0x17, false};               // cycle breathing
        case 7: return {{0xC8}, 0x02, false};               // single-colour breathing
        case 8: return {{0x10, 0x90}, 0x03, false};         // blink
        case 9: return {{0x00, 0x06, 0x03}, 0x12, false};   // aurora
        case 10: return {{0x10, 0x12}, 0x13, false};        // meteor
        case 11: return {{}, 0x19, false};                  // all off
        case 40: return {{0x10, 0x10, 0x20, 0x90}, 0x04, false};
        case 90: return {{0x10, 0x12}, 0x15, false};
        default: return {{}, -1, false};
    }
}

// The effect code each mode the main zone can be read in leaves in its register.
std::optional<uint32_t> ModeOfCode(uint8_t code) {
    switch (code) {
        case 0x01: return 1;
        case 0x11: return 2;
        case 0x18: return 3;
        case 0x14: return 4;
        case 0x16: return 5;
        case 0x17: return 6;
        case 0x02: return 7;
        case 0x03: return 8;
        case 0x12:
        case 0x00: return 9;
        case 0x13: return 10;
        case 0x19: return 11;
        default: return std::nullopt;
    }
}

constexpr std::array<uint8_t, 3> kResetParameters = {0x00, 0x06, 0x03};

}  // namespace

EffectController::EffectController(GpuBoardTable& table, int gpu, std::vector<uint8_t> zones)
    : table_(table), gpu_(gpu), zones_(std::move(zones)) {}

LedWriteResult EffectController::ApplyMode(uint32_t gm2Mode, LedColour colour, LedPacer& pacer) {
    LedWriteResult result;
    for (const uint8_t zone : zones_) result.Append(ApplyZoneMode(zone, gm2Mode, colour, pacer));
    return result;
}

LedWriteResult EffectController::ApplyZoneMode(uint8_t zone, uint32_t gm2Mode, LedColour colour, LedPacer& pacer) {
    LedWriteResult result;
    auto write = [&](uint8_t reg, uint8_t value) {
        const bool taken = result.Note(gpu_, zone, reg, WriteLedByte(table_, gpu_, zone, reg, value));
        if (taken) pacer.SleepFor(10ms);
        return taken;
    };

    if (result.Note(gpu_, zone, kEffectRegColour,
                    WriteLedBytes(table_, gpu_, zone, kEffectRegColour, {colour.r, colour.g, colour.b})))
        pacer.SleepFor(10ms);

    const EffectRow row = EffectSequence(gm2Mode);
    bool ok = true;
    if (row.defaultMode) ok = write(kEffectRegDefault, 0xFF);
    for (size_t i = 0; ok && i < row.parameters.size(); ++i)
        ok = write(static_cast<uint8_t>(kEffectRegParameter1 + i), row.parameters[i]);
    if (ok && row.effectCode >= 0) write(kEffectRegCode, static_cast<uint8_t>(row.effectCode));

    // The commit goes out even when the mode stopped early.
    write(kEffectRegCommit, kLedCommitValue);
    return result;
}

LedWriteResult EffectController::HoldForProgramFrames() {
    LedWriteResult result;
    result.Note(gpu_, kEffectMainAddress, kEffectRegCode,
                WriteLedByte(table_, gpu_, kEffectMainAddress, kEffectRegCode, kEffectCodeStatic));
    return result;
}

LedWriteResult EffectController::WriteFrame(const LedFrame& frame) {
    const LedColour c = frame.colour;
    LedWriteResult result;
    for (const uint8_t zone : zones_)
        result.Note(gpu_, zone, kEffectRegColour, WriteLedBytes(table_, gpu_, zone, kEffectRegColour, {c.r, c.g, c.b}));
    return result;
}

LedResetResult EffectController::Reset(LedPacer& pacer, const std::function<void()>& defaultModeTaken) {
    LedResetResult result;
    auto parameters = [&](uint8_t zone) {
        result.refused.Note(gpu_, zone, kEffectRegParameter1,
                            WriteLedBytes(table_, gpu_, zone, kEffectRegParameter1, kResetParameters));
    };
    auto code = [&](uint8_t zone) {
        return result.refused.Note(gpu_, zone, kEffectRegCode, WriteLedByte(table_, gpu_, zone, kEffectRegCode, 0x00));
    };
    for (size_t i = 0; i < zones_.size(); ++i) {
        const uint8_t zone = zones_[i];
        if (i > 0) pacer.SleepFor(10ms);
        bool codeTaken = false;
        if (zone == kEffectMainAddress) {
            parameters(zone);
            pacer.SleepFor(10ms);
            codeTaken = code(zone);
        } else {
            codeTaken = code(zone);
            pacer.SleepFor(10ms);
            parameters(zone);
        }
        if (i == 0 && codeTaken) result.TakeDefaultMode(defaultModeTaken);
    }
    return result;
}

bool EffectController::MainZoneFirst() const { return !zones_.empty() && zones_.front() == kEffectMainAddress; }

std::optional<uint32_t> EffectController::ReadMode() {
    if (!MainZoneFirst()) return std::nullopt;
    uint8_t code = 0;
    if (ReadLedByte(table_, gpu_, kEffectMainAddress, kEffectRegCode, code) != kNvOk) return std::nullopt;
    return ModeOfCode(code);
}

std::optional<LedColour> EffectController::ReadColour() {
    if (!MainZoneFirst()) return std::nullopt;
    return ReadLedColour(table_, gpu_, kEffectMainAddress, kEffectRegColour);
}

}  // namespace pyx
