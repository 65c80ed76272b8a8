#pragma once
#include "sim/SimLedController.h"

namespace pyx::sim {

// The basic controller of class 1 (0x40): it acknowledges its initialisation commands at
// register 0x00 and 0xFF and shows the colour of the 10-byte block written from register
// 0x01 (R, G, B at 0x06..0x08, level at 0x09) once the block's last byte (0x0A) arrives.
class SimLedBasicClass1 : public SimLedController {
public:
    std::string ModelName() const override { return "led-basic-1"; }
    // Initialisation commands {0x10, 0x01}, {0x10, 0x02} and {0x00, 0x01} seen.
    uint32_t InitCommands() const;

protected:
    void OnWrite(uint8_t reg, uint8_t value) override;

private:
    mutable std::mutex countMutex_;
    uint32_t initCommands_ = 0;
    uint8_t lastReg_ = 0;
    uint8_t lastValue_ = 0;
};

}  // namespace pyx::sim
