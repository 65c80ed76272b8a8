#include "led/BasicClass1Controller.h"

#include "led/LedAddresses.h"
#include "led/LedBus.h"

namespace pyx {

BasicClass1Controller::BasicClass1Controller(GpuBoardTable& table, int gpu) : table_(table), gpu_(gpu) {}

LedWriteResult BasicClass1Controller::Initialise() {
    const uint8_t address = BasicClass1Address();
    LedWriteResult result;
    result.Note(gpu_, address, 0x00, WriteLedBytes(table_, gpu_, address, 0x00, {0x10, 0x01}));
    result.Note(gpu_, address, 0x00, WriteLedBytes(table_, gpu_, address, 0x00, {0x10, 0x02}));
    result.Note(gpu_, address, 0xFF, WriteLedBytes(table_, gpu_, address, 0xFF, {0x00, 0x01}));
    return result;
}

LedWriteResult BasicClass1Controller::WriteFrame(const LedFrame& frame) {
    const LedColour c = frame.colour;
    const uint8_t level = frame.sessionEnding ? 0x00 : 0xFF;
    const uint8_t address = BasicClass1Address();
    LedWriteResult result;
    result.Note(gpu_, address, 0x01,
                WriteLedBytes(table_, gpu_, address, 0x01, {0x01, 0x00, 0x00, 0x00, 0x00, c.r, c.g, c.b, level, 0xF0}));
    return result;
}

}  // namespace pyx
