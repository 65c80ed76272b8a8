#include "gpu/ClockControl.h"

#include <cstring>

namespace pyx {

namespace {

NvStatus SetClockOffset(GpuBoardTable& table, int gpu, uint32_t domainId, int32_t offsetKHz,
                        const char* successLine) {
    if (!table.IsValidGpu(gpu)) return kNvFailed;
    NvPstates20 record;
    std::memset(&record, 0, sizeof record);
    record.version = kPstates20SetTag;
    record.numPstates = 1;
    record.numClocks = 1;
    record.numBaseVoltages = 0;
    record.pstates[0].pstateId = 0;  // P0
    record.pstates[0].clocks[0].domainId = domainId;
    record.pstates[0].clocks[0].typeId = 0;
    record.pstates[0].clocks[0].freqDelta_kHz.value = offsetKHz;
    const NvStatus status = table.Library().SetPstates20(table.Board(gpu).gpuHandle, &record);
    DiagnosticsSink& diagnostics = table.Diagnostics();
    if (status == kNvOk)
        diagnostics.Print("%s", successLine);
    else
        diagnostics.Print("API call failed with error %d\n", status);
    diagnostics.Flush();
    return status;
}

}  // namespace

NvStatus SetGraphicsClockOffset(GpuBoardTable& table, int gpu, int32_t offsetKHz) {
    return SetClockOffset(table, gpu, kDomainGraphics, offsetKHz, "GRAPHIC CLK change call succeeded\n");
}

NvStatus SetMemoryClockOffset(GpuBoardTable& table, int gpu, int32_t offsetKHz) {
    return SetClockOffset(table, gpu, kDomainMemory, offsetKHz, "MEMORY CLK change call succeeded\n");
}

NvStatus GetPstates20(GpuBoardTable& table, int gpu, NvPstates20* record) {
    if (!table.IsValidGpu(gpu) || record == nullptr) return kNvFailed;
    record->version = kPstates20GetTag;
    NvApiLibrary& library = table.Library();
    const NvPhysicalGpuHandle handle = table.Board(gpu).gpuHandle;
    const NvStatus first = library.GetPstates20(handle, record);
    if (first == kNvOk) return first;
    record->version = kPstates20GetTag;
    return library.GetPstates20(handle, record);
}

NvStatus ReadBoostClocks(GpuBoardTable& table, int gpu, BoostClocks& clocks) {
    clocks = {};
    if (!table.IsValidGpu(gpu)) return kNvFailed;
    NvClockFrequencies record;
    std::memset(&record, 0, sizeof record);
    record.version = kClockFrequenciesTag;
    record.clockType = kClockTypeBoost;
    const NvStatus status = table.Library().GetAllClockFrequencies(table.Board(gpu).gpuHandle, &record);
    if (status != kNvOk) return status;
    clocks.graphicsKHz = record.domain[kDomainGraphics].frequencyKHz;
    clocks.memoryKHz = record.domain[kDomainMemory].frequencyKHz;
    return kNvOk;
}

}  // namespace pyx
