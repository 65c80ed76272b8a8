#pragma once
#include <cstdint>

#include "gpu/GpuBoardTable.h"

namespace pyx {

// The bus operations. Each takes its GPU's bus mutex (at most 2000 ms; -1 and nothing sent
// otherwise) for one transaction: the primary library call and, when that fails, exactly one
// retry through the extended form. The result is the status of the last library call.
//
// Slot operations: the device of a fixed slot, one data byte, request version 1 at speed 30.
[[nodiscard]] NvStatus ReadSlotRegister(GpuBoardTable& table, int gpu, uint8_t* reg, uint8_t* data, int slot);
[[nodiscard]] NvStatus WriteSlotRegister(GpuBoardTable& table, int gpu, uint8_t* reg, uint8_t* data, int slot);
// Slot 6: version 3 with port id 1 on boards of families A to C, else version 1 with port id 2.
[[nodiscard]] NvStatus ReadSlot6Register(GpuBoardTable& table, int gpu, uint8_t* reg, uint8_t* data);
[[nodiscard]] NvStatus WriteSlot6Register(GpuBoardTable& table, int gpu, uint8_t* reg, uint8_t* data);
// Lighting controllers: any address, version 3, port 1, DDC-port byte 2.
[[nodiscard]] NvStatus ReadLedRegister(GpuBoardTable& table, int gpu, uint8_t devAddress, uint8_t* reg, uint8_t* data);
[[nodiscard]] NvStatus WriteLedRegister(GpuBoardTable& table, int gpu, uint8_t devAddress, uint8_t* reg,
                          uint8_t* data, uint32_t length);

}  // namespace pyx
