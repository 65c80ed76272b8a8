#include "led/LedBasicController.h"

#include "led/LedAddresses.h"
#include "led/LedBus.h"
#include "led/LedBoardState.h"

namespace pyx {

LedWriteResult InitBasicController(GpuBoardTable& table, int gpu) {
    const uint8_t address = BasicClass1Address();
    LedWriteResult result;
    result.Note(gpu, address, 0x00, WriteLedBytes(table, gpu, address, 0x00, {0x10, 0x01}));
    result.Note(gpu, address, 0x00, WriteLedBytes(table, gpu, address, 0x00, {0x10, 0x02}));
    result.Note(gpu, address, 0xFF, WriteLedBytes(table, gpu, address, 0xFF, {0x00, 0x01}));
    return result;
}

LedKind BasicControllerClass(LedKind ledKind, LedKind ledControllerKind) {
    return ledKind != LedKind::None ? ledKind : ledControllerKind;
}

NvStatus GpuLightingTick(GpuBoardTable& table, int gpu) {
    if (!table.IsValidGpu(gpu)) return kNvFailed;
    NvLightingTick record{};
    record.version = kLightingTickTag;
    record.words[0] = 20;
    record.words[1] = 0;
    record.words[2] = 1;
    return table.Library().LightingTick(table.Board(gpu).gpuHandle, &record);
}

LedWriteResult WriteBasicColour(GpuBoardTable& table, int gpu, LedKind basicClass, LedColour colour,
                                bool sessionEnding) {
    LedWriteResult result;
    if (basicClass == LedKind::BasicClass1) {
        const uint8_t level = sessionEnding ? 0x00 : 0xFF;
        const uint8_t address = BasicClass1Address();
        result.Note(gpu, address, 0x01,
                    WriteLedBytes(table, gpu, address, 0x01,
                                  {0x01, 0x00, 0x00, 0x00, 0x00, colour.r, colour.g, colour.b, level, 0xF0}));
    } else if (basicClass == LedKind::BasicClass2) {
        const uint8_t address = BasicClass2Address();
        auto write = [&](uint8_t reg, uint8_t value) {
            result.Note(gpu, address, reg, WriteLedByte(table, gpu, address, reg, value));
        };
        write(0x01, 0x01);
        write(0x31, 0x03);
        write(0x32, 0x03);
        write(0x33, 0x03);
        write(0x34, colour.r);
        write(0x35, colour.g);
        write(0x36, colour.b);
        (void)GpuLightingTick(table, gpu);
        write(0x30, 0x07);
    }
    return result;
}

}  // namespace pyx
