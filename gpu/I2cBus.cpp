#include "gpu/I2cBus.h"

#include <chrono>
#include <cstring>
#include <thread>

namespace pyx {

namespace {

enum class Direction { Read, Write };

// Waits for the bus at most kBusMutexWait. The wait polls rather than blocking in a timed
// lock: the thread sanitizer of our toolchain does not see the clock-based lock call that a
// timed wait uses and would then take every release for a release of a free mutex. One
// transaction holds the bus well under a millisecond, so a short poll loses nothing.
bool AcquireBus(std::timed_mutex& bus) {
    if (bus.try_lock()) return true;
    const auto deadline = std::chrono::steady_clock::now() + kBusMutexWait;
    while (std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::microseconds(100));
        if (bus.try_lock()) return true;
    }
    return false;
}

struct RequestShape {
    uint32_t version;
    uint8_t ddcPortByte;
    uint8_t devAddress;
    uint32_t length;
    uint32_t i2cSpeed;
    bool portIdSet;
    uint8_t portId;
    // The slot operations retry with displayMask 0; the lighting ones keep 1.
    bool clearDisplayMaskOnRetry;
};

NvStatus Transact(GpuBoardTable& table, int gpu, Direction direction, const RequestShape& shape,
                  uint8_t* reg, uint8_t* data) {
    if (!table.IsValidGpu(gpu)) return kNvFailed;
    GpuBoard& board = table.Board(gpu);
    if (!board.busMutex) return kNvFailed;
    if (!AcquireBus(*board.busMutex)) return kNvFailed;
    std::unique_lock lock(*board.busMutex, std::adopt_lock);

    NvI2cRequestV3 request;
    std::memset(&request, 0, sizeof request);
    request.version = shape.version;
    request.displayMask = 1;
    request.bIsDDCPort = shape.ddcPortByte;
    request.i2cDevAddress = shape.devAddress;
    request.pbI2cRegAddress = reg;
    request.regAddrSize = 1;
    request.pbData = data;
    request.cbSize = shape.length;
    request.i2cSpeed = shape.i2cSpeed;
    if (shape.portIdSet) {
        request.i2cSpeedKhz = 0;
        request.portId = shape.portId;
        request.bIsPortIdSet = 1;
    }

    NvApiLibrary& library = table.Library();
    NvStatus status = direction == Direction::Read ? library.I2CRead(board.gpuHandle, &request)
                                                   : library.I2CWrite(board.gpuHandle, &request);
    if (status != kNvOk) {
        if (shape.clearDisplayMaskOnRetry) request.displayMask = 0;
        uint32_t extra[2] = {0, 0};
        status = direction == Direction::Read ? library.I2CReadEx(board.gpuHandle, &request, extra)
                                              : library.I2CWriteEx(board.gpuHandle, &request, extra);
    }
    return status;
}

RequestShape SlotShape(const GpuBoard& board, int slot) {
    const I2cSlot& s = board.i2cSlots[static_cast<size_t>(slot)];
    return {kI2cRequestV1Tag, s.portByte, s.devAddress, 1, 30, false, 0, true};
}

RequestShape Slot6Shape(const GpuBoard& board) {
    const I2cSlot& s = board.i2cSlots[6];
    const bool v3 = ReachesSlot6ByPortId(board.family);
    return {v3 ? kI2cRequestV3Tag : kI2cRequestV1Tag, s.portByte, s.devAddress, 1, 100, true,
            static_cast<uint8_t>(v3 ? 1 : 2), true};
}

RequestShape LedShape(uint8_t devAddress, uint32_t length) {
    return {kI2cRequestV3Tag, 2, devAddress, length, 100, true, 1, false};
}

bool ValidSlot(int slot) { return slot >= 0 && slot < kI2cSlotCount; }

}  // namespace

NvStatus ReadSlotRegister(GpuBoardTable& table, int gpu, uint8_t* reg, uint8_t* data, int slot) {
    if (!table.IsValidGpu(gpu) || !ValidSlot(slot)) return kNvFailed;
    return Transact(table, gpu, Direction::Read, SlotShape(table.Board(gpu), slot), reg, data);
}

NvStatus WriteSlotRegister(GpuBoardTable& table, int gpu, uint8_t* reg, uint8_t* data, int slot) {
    if (!table.IsValidGpu(gpu) || !ValidSlot(slot)) return kNvFailed;
    return Transact(table, gpu, Direction::Write, SlotShape(table.Board(gpu), slot), reg, data);
}

NvStatus ReadSlot6Register(GpuBoardTable& table, int gpu, uint8_t* reg, uint8_t* data) {
    if (!table.IsValidGpu(gpu)) return kNvFailed;
    return Transact(table, gpu, Direction::Read, Slot6Shape(table.Board(gpu)), reg, data);
}

NvStatus WriteSlot6Register(GpuBoardTable& table, int gpu, uint8_t* reg, uint8_t* data) {
    if (!table.IsValidGpu(gpu)) return kNvFailed;
    return Transact(table, gpu, Direction::Write, Slot6Shape(table.Board(gpu)), reg, data);
}

NvStatus ReadLedRegister(GpuBoardTable& table, int gpu, uint8_t devAddress, uint8_t* reg, uint8_t* data) {
    return Transact(table, gpu, Direction::Read, LedShape(devAddress, 1), reg, data);
}

NvStatus WriteLedRegister(GpuBoardTable& table, int gpu, uint8_t devAddress, uint8_t* reg,
                          uint8_t* data, uint32_t length) {
    return Transact(table, gpu, Direction::Write, LedShape(devAddress, length), reg, data);
}

}  // namespace pyx
