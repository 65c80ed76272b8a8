#include "led/LedEffectController.h"

#include <array>
#include <chrono>
#include <utility>
#include <vector>

#include "led/LedAddresses.h"
#include "led/LedBus.h"
#include "led/LedZoneController.h"

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

}  // namespace

LedWriteResult ApplyEffectMode(GpuBoardTable& table, int gpu, uint8_t zoneAddress, uint32_t gm2Mode,
                               LedColour colour, LedPacer& pacer) {
    LedWriteResult result;
    auto write = [&](uint8_t reg, uint8_t value) {
        const bool taken = result.Note(gpu, zoneAddress, reg, WriteLedByte(table, gpu, zoneAddress, reg, value));
        if (taken) pacer.SleepFor(10ms);
        return taken;
    };

    if (result.Note(gpu, zoneAddress, kEffectRegColour,
                    WriteLedBytes(table, gpu, zoneAddress, kEffectRegColour, {colour.r, colour.g, colour.b})))
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

LedWriteResult WriteEffectFrame(GpuBoardTable& table, int gpu, LedColour colour) {
    LedWriteResult result;
    for (const uint8_t address : kEffectAddresses)
        result.Note(gpu, address, kEffectRegColour,
                    WriteLedBytes(table, gpu, address, kEffectRegColour, {colour.r, colour.g, colour.b}));
    return result;
}

namespace {
constexpr std::array<uint8_t, 3> kEffectResetParameters = {0x00, 0x06, 0x03};
}  // namespace

LedWriteResult ResetEffectControllerAC(GpuBoardTable& table, int gpu, LedPacer& pacer) {
    LedWriteResult result;
    result.Note(gpu, 0xAC, kEffectRegParameter1,
                WriteLedBytes(table, gpu, 0xAC, kEffectRegParameter1, kEffectResetParameters));
    pacer.SleepFor(10ms);
    result.Note(gpu, 0xAC, kEffectRegCode, WriteLedByte(table, gpu, 0xAC, kEffectRegCode, 0x00));
    return result;
}

LedWriteResult ResetEffectControllerB0(GpuBoardTable& table, int gpu, LedPacer& pacer) {
    LedWriteResult result;
    result.Note(gpu, 0xB0, kEffectRegCode, WriteLedByte(table, gpu, 0xB0, kEffectRegCode, 0x00));
    pacer.SleepFor(10ms);
    result.Note(gpu, 0xB0, kEffectRegParameter1,
                WriteLedBytes(table, gpu, 0xB0, kEffectRegParameter1, kEffectResetParameters));
    return result;
}

bool EffectCodeTaken(const LedWriteResult& reset) {
    for (const LedRefusedWrite& write : reset.refused)
        if (write.reg == kEffectRegCode) return false;
    return true;
}

}  // namespace pyx
