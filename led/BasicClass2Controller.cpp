#include "led/BasicClass2Controller.h"

#include "led/LedAddresses.h"
#include "led/LedBus.h"

namespace pyx {

BasicClass2Controller::BasicClass2Controller(GpuBoardTable& table, int gpu) : table_(table), gpu_(gpu) {}

NvStatus BasicClass2Controller::LightingTick() {
    if (!table_.IsValidGpu(gpu_)) return kNvFailed;
    NvLightingTick record{};
    record.version = kLightingTickTag;
    record.words[0] = 20;
    record.words[1] = 0;
    record.words[2] = 1;
    return table_.Library().LightingTick(table_.Board(gpu_).gpuHandle, &record);
}

LedWriteResult BasicClass2Controller::WriteFrame(const LedFrame& frame) {
    const LedColour c = frame.colour;
    const uint8_t address = BasicClass2Address();
    LedWriteResult result;
    auto write = [&](uint8_t reg, uint8_t value) {
        result.Note(gpu_, address, reg, WriteLedByte(table_, gpu_, address, reg, value));
    };
    write(0x01, 0x01);
    write(0x31, 0x03);
    write(0x32, 0x03);
    write(0x33, 0x03);
    write(0x34, c.r);
    write(0x35, c.g);
    write(0x36, c.b);
    (void)LightingTick();
    write(0x30, 0x07);
    return result;
}

}  // namespace pyx
