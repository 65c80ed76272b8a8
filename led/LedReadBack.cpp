#include "led/LedReadBack.h"

#include "led/LedAddresses.h"
#include "led/LedBoardState.h"
#include "led/LedBus.h"
#include "led/LedEffectController.h"
#include "led/LedZoneController.h"

namespace pyx {

namespace {

std::optional<uint32_t> ZoneMode(GpuBoardTable& table, int gpu) {
    uint8_t parameter = 0;
    if (ReadLedByte(table, gpu, kZoneMainAddress, kZoneRegParameter, parameter) != kNvOk) return std::nullopt;
    if (parameter >= 8) {
        // The animated modes set the parameter's high bit; the effect code tells them apart.
        uint8_t effect = 0;
        if (ReadLedByte(table, gpu, kZoneMainAddress, kZoneRegEffect, effect) != kNvOk) return std::nullopt;
        if (effect == 0x02) return 2;
        if (effect == 0x40) return 3;
        return std::nullopt;
    }
    if (parameter == 0x04) return 4;
    if (parameter == 0x01) return 5;
    if (parameter == 0x20 || parameter == 0x00) return 1;
    return std::nullopt;
}

std::optional<uint32_t> EffectMode(GpuBoardTable& table, int gpu) {
    uint8_t code = 0;
    if (ReadLedByte(table, gpu, kEffectMainAddress, kEffectRegCode, code) != kNvOk) return std::nullopt;
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

}  // namespace

std::optional<uint32_t> ReadBackLedMode(GpuBoardTable& table, int gpu, LedKind ledKind) {
    if (ledKind == LedKind::Zone58) return ZoneMode(table, gpu);
    if (ledKind == LedKind::EffectAC) return EffectMode(table, gpu);
    return std::nullopt;
}

std::optional<LedColour> ReadBackLedColour(GpuBoardTable& table, int gpu, LedKind ledKind) {
    uint8_t address = 0;
    if (ledKind == LedKind::Zone58) {
        address = kZoneMainAddress;
    } else if (ledKind == LedKind::EffectAC) {
        address = kEffectMainAddress;
    } else {
        return std::nullopt;
    }
    LedColour colour;
    if (ReadLedByte(table, gpu, address, 0x02, colour.r) != kNvOk) return std::nullopt;
    if (ReadLedByte(table, gpu, address, 0x03, colour.g) != kNvOk) return std::nullopt;
    if (ReadLedByte(table, gpu, address, 0x04, colour.b) != kNvOk) return std::nullopt;
    return colour;
}

}  // namespace pyx
