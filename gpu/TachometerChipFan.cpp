#include "gpu/TachometerChipFan.h"

#include "gpu/FanHardware.h"
#include "gpu/GpuBoardTable.h"

namespace pyx {

namespace {

// One byte of the automatic curve: the count for v RPM in units of 16 counts. A range value
// of 0 (never calibrated) or one too slow for a byte gives the slowest entry, 0xFF.
uint8_t CurveCountByte(uint32_t rpm) {
    if (rpm == 0) return 0xFF;
    const uint32_t units = (static_cast<uint32_t>(kTachometerConstant) / rpm) >> 4;
    return units > 0xFF ? 0xFF : static_cast<uint8_t>(units);
}

}  // namespace

uint16_t TachometerCountForRpm(int32_t rpm) {
    if (rpm <= 0) return 0xFFFF;
    const int32_t count = kTachometerConstant / rpm;
    if (count > 0xFFFF) return 0xFFFF;
    // Faster than the chip can count: the shortest period it can be told.
    return count < 1 ? 1 : static_cast<uint16_t>(count);
}

int32_t RpmForTachometerCount(uint16_t count) { return count == 0 ? 0 : kTachometerConstant / count; }

NvStatus TachometerChipFan::SetLevel(GpuBoardTable& table, int gpu, int32_t rpm) const {
    uint8_t config = 0;
    NvStatus s = ReadFanChip(table, gpu, kFanChipSlot0, kSlot0FanConfig, &config);
    if (s != kNvOk) return s;
    config = static_cast<uint8_t>((config & ~0x04u) | 0x01u);
    s = WriteFanChip(table, gpu, kFanChipSlot0, kSlot0FanConfig, config);
    if (s != kNvOk) return s;
    const uint16_t count = TachometerCountForRpm(rpm);
    const NvStatus high = WriteFanChip(table, gpu, kFanChipSlot0, kSlot0CountHigh, static_cast<uint8_t>(count >> 8));
    const NvStatus low = WriteFanChip(table, gpu, kFanChipSlot0, kSlot0CountLow, static_cast<uint8_t>(count & 0xFF));
    return high != kNvOk ? high : low;
}

NvStatus TachometerChipFan::RestoreAutomatic(GpuBoardTable& table, int gpu) const {
    const GpuBoard& board = table.Board(gpu);
    uint8_t config = 0;
    NvStatus s = ReadFanChip(table, gpu, kFanChipSlot0, kSlot0FanConfig, &config);
    if (s != kNvOk) return s;
    s = WriteFanChip(table, gpu, kFanChipSlot0, kSlot0FanConfig, static_cast<uint8_t>(config & ~0x05u));
    if (s != kNvOk) return s;
    const uint8_t curve[9] = {board.fanCurveHigh,
                              board.fanCurveLow,
                              0,
                              0,
                              CurveCountByte(board.fanRangeMax),
                              CurveCountByte(board.fanRangeMid),
                              CurveCountByte(board.fanRangeMin),
                              CurveCountByte(board.fanRangeMin),
                              CurveCountByte(board.fanRangeMin)};
    for (int i = 0; i < 9; ++i) {
        s = WriteFanChip(table, gpu, kFanChipSlot0, static_cast<uint8_t>(kSlot0CurveFirst + i), curve[i]);
        if (s != kNvOk) return s;
    }
    return kNvOk;
}

NvStatus TachometerChipFan::Reading(GpuBoardTable& table, int gpu, int32_t* out) const {
    uint8_t config = 0;
    uint8_t high = 0;
    uint8_t low = 0;
    NvStatus s = ReadFanChip(table, gpu, kFanChipSlot0, kSlot0FanConfig, &config);
    if (s == kNvOk) s = ReadFanChip(table, gpu, kFanChipSlot0, kSlot0CountHigh, &high);
    if (s == kNvOk) s = ReadFanChip(table, gpu, kFanChipSlot0, kSlot0CountLow, &low);
    if (s != kNvOk) return s;
    *out = RpmForTachometerCount(static_cast<uint16_t>((high << 8) | low));
    return kNvOk;
}

NvStatus TachometerChipFan::Mode(GpuBoardTable& table, int gpu, int32_t* out) const {
    // Discovery chooses this path only where the slot-0 chip answered without a slot-3 device.
    if (Slot0ChipTellsMode(table, gpu)) return Slot0ChipMode(table, gpu, out);
    return kNvNotSupported;
}

}  // namespace pyx
