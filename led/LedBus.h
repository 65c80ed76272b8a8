#pragma once
#include <cstdint>
#include <initializer_list>
#include <span>

#include <optional>

#include "gpu/GpuBoardTable.h"
#include "led/LedColour.h"

namespace pyx {

// The lighting controllers' bus access in the shape the sequences use: one register byte,
// then the data bytes, which the controllers store at consecutive registers.
NvStatus WriteLedBytes(GpuBoardTable& table, int gpu, uint8_t devAddress, uint8_t reg,
                       std::span<const uint8_t> data);
NvStatus WriteLedBytes(GpuBoardTable& table, int gpu, uint8_t devAddress, uint8_t reg,
                       std::initializer_list<uint8_t> data);
NvStatus WriteLedByte(GpuBoardTable& table, int gpu, uint8_t devAddress, uint8_t reg, uint8_t value);
// One byte from a register; value is untouched on failure.
NvStatus ReadLedByte(GpuBoardTable& table, int gpu, uint8_t devAddress, uint8_t reg, uint8_t& value);
// R, G, B from three consecutive registers, one byte read each; none when a read failed.
std::optional<LedColour> ReadLedColour(GpuBoardTable& table, int gpu, uint8_t devAddress, uint8_t firstReg);

}  // namespace pyx
