#include "tests/support/linux/SimBusTransport.h"

#include "gpu/NvApiIds.h"

namespace pyx::test {

NvStatus SimBusTransport::Read(int adapter, uint8_t address7, const uint8_t* reg, uint32_t regSize, uint8_t* data,
                               uint32_t length) {
    return Move(adapter, sim::SimI2cRecord::Kind::Read, address7, reg, regSize, data, length);
}

NvStatus SimBusTransport::Write(int adapter, uint8_t address7, const uint8_t* reg, uint32_t regSize,
                                const uint8_t* data, uint32_t length) {
    return Move(adapter, sim::SimI2cRecord::Kind::Write, address7, reg, regSize, const_cast<uint8_t*>(data), length);
}

NvStatus SimBusTransport::Move(int adapter, sim::SimI2cRecord::Kind kind, uint8_t address7, const uint8_t* reg,
                               uint32_t regSize, uint8_t* data, uint32_t length) {
    ++transactions;
    if (!problem.empty()) return kNvFailed;
    const auto it = cards_.find(adapter);
    if (it == cards_.end()) return kNvFailed;
    sim::SimI2cRecord record{};
    record.kind = kind;
    record.version = kI2cRequestV3Tag;
    record.devAddress = static_cast<uint8_t>(address7 << 1);
    record.reg = regSize != 0 ? reg[0] : 0;
    record.length = length;
    return it->second->bus.Transfer(record, data) ? kNvOk : kNvFailed;
}

}  // namespace pyx::test
