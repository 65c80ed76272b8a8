#include "gpu/GpuBoardTable.h"

#include <cstdio>

namespace pyx {

GpuBoardTable::GpuBoardTable(NvApiLibrary& library) : GpuBoardTable(library, standardOutput_) {}

GpuBoardTable::GpuBoardTable(NvApiLibrary& library, DiagnosticsSink& diagnostics)
    : library_(library), diagnostics_(&diagnostics) {
    for (auto& board : boards)
        for (int slot = 0; slot < kI2cSlotCount; ++slot)
            board.i2cSlots[static_cast<size_t>(slot)].portByte = kSlotPortBytes[static_cast<size_t>(slot)];
}

NvStatus GpuBoardTable::EnumerateBoards() {
    NvPhysicalGpuHandle handles[kNvMaxPhysicalGpus] = {};
    uint32_t count = 0;
    const NvStatus status = library_.EnumPhysicalGPUs(handles, &count);
    if (status != kNvOk) return status;
    gpuCount = static_cast<uint8_t>(count < kMaxGpus ? count : kMaxGpus);
    for (int i = 0; i < gpuCount; ++i) {
        auto& board = Board(i);
        board.gpuHandle = handles[i];
        board.busMutex = std::make_unique<std::timed_mutex>();
    }
    return kNvOk;
}

NvStatus GpuBoardTable::ReadPciIdentifiers(int gpu, uint32_t* deviceId, uint32_t* subSystemId) {
    if (!IsValidGpu(gpu)) return kNvFailed;
    uint32_t revision = 0;
    uint32_t external = 0;
    auto& board = Board(gpu);
    const NvStatus status =
        library_.GetPCIIdentifiers(board.gpuHandle, deviceId, subSystemId, &revision, &external);
    if (status != kNvOk) return status;
    char text[9];
    std::snprintf(text, sizeof text, "%04x", (*deviceId >> 16) & 0xFFFFu);
    for (int i = 0; i < 4; ++i) board.deviceIdText[i] = static_cast<char16_t>(text[i]);
    board.deviceIdText[4] = 0;
    return kNvOk;
}

}  // namespace pyx
