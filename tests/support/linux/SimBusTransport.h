#pragma once
#include <atomic>
#include <cstdint>
#include <map>
#include <string>

#include "gpu/linux/FilledNvApiSource.h"
#include "sim/SimLibrary.h"

namespace pyx::test {

// The kernel's I2C adapters of a fake sysfs tree: adapter N carries the bus of one simulated
// card.
class SimBusTransport : public I2cTransport {
public:
    void Connect(int adapter, sim::SimCard* card) { cards_[adapter] = card; }
    // What Check reports for every adapter (a missing module, a refused permission).
    std::string problem;
    std::atomic<int> transactions{0};

    NvStatus Read(int adapter, uint8_t address7, const uint8_t* reg, uint32_t regSize, uint8_t* data,
                  uint32_t length) override;
    NvStatus Write(int adapter, uint8_t address7, const uint8_t* reg, uint32_t regSize, const uint8_t* data,
                   uint32_t length) override;
    std::string Check(int) override { return problem; }

private:
    NvStatus Move(int adapter, sim::SimI2cRecord::Kind kind, uint8_t address7, const uint8_t* reg, uint32_t regSize,
                  uint8_t* data, uint32_t length);
    std::map<int, sim::SimCard*> cards_;
};

}  // namespace pyx::test
