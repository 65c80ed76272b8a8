#include "led/LedBus.h"

#include <array>
#include <vector>

#include "gpu/I2cBus.h"

namespace pyx {

NvStatus WriteLedBytes(GpuBoardTable& table, int gpu, uint8_t devAddress, uint8_t reg,
                       std::span<const uint8_t> data) {
    // The bus operation takes writable buffers; the longest write of the protocol is ten bytes.
    std::array<uint8_t, 16> small{};
    std::vector<uint8_t> large;
    uint8_t* buffer = small.data();
    if (data.size() > small.size()) {
        large.assign(data.begin(), data.end());
        buffer = large.data();
    } else {
        std::copy(data.begin(), data.end(), small.begin());
    }
    uint8_t regByte = reg;
    return WriteLedRegister(table, gpu, devAddress, &regByte, buffer, static_cast<uint32_t>(data.size()));
}

NvStatus WriteLedBytes(GpuBoardTable& table, int gpu, uint8_t devAddress, uint8_t reg,
                       std::initializer_list<uint8_t> data) {
    return WriteLedBytes(table, gpu, devAddress, reg, std::span<const uint8_t>(data.begin(), data.size()));
}

NvStatus WriteLedByte(GpuBoardTable& table, int gpu, uint8_t devAddress, uint8_t reg, uint8_t value) {
    return WriteLedBytes(table, gpu, devAddress, reg, {value});
}

NvStatus ReadLedByte(GpuBoardTable& table, int gpu, uint8_t devAddress, uint8_t reg, uint8_t& value) {
    uint8_t regByte = reg;
    uint8_t data = 0;
    const NvStatus status = ReadLedRegister(table, gpu, devAddress, &regByte, &data);
    if (status == kNvOk) value = data;
    return status;
}

std::optional<LedColour> ReadLedColour(GpuBoardTable& table, int gpu, uint8_t devAddress, uint8_t firstReg) {
    LedColour colour;
    if (ReadLedByte(table, gpu, devAddress, firstReg, colour.r) != kNvOk) return std::nullopt;
    if (ReadLedByte(table, gpu, devAddress, static_cast<uint8_t>(firstReg + 1), colour.g) != kNvOk) return std::nullopt;
    if (ReadLedByte(table, gpu, devAddress, static_cast<uint8_t>(firstReg + 2), colour.b) != kNvOk) return std::nullopt;
    return colour;
}

}  // namespace pyx
