#include "gpu/PowerControl.h"

#include <cstring>

namespace pyx {

NvStatus GetPowerPolicyInfo(GpuBoardTable& table, int gpu, NvPowerPoliciesInfo* record) {
    if (!table.IsValidGpu(gpu) || record == nullptr) return kNvFailed;
    record->version = kPowerPoliciesInfoTag;
    GpuBoard& board = table.Board(gpu);
    const NvStatus status = table.Library().PowerPoliciesGetInfo(board.gpuHandle, record);
    if (status == kNvOk) {
        uint32_t word = 0;
        std::memcpy(&word, reinterpret_cast<const unsigned char*>(record) + 36, sizeof word);
        board.powerPolicyInfoWord = word;
    }
    return status;
}

NvStatus GetPowerPolicyStatus(GpuBoardTable& table, int gpu, NvPowerPoliciesStatus* record) {
    if (!table.IsValidGpu(gpu) || record == nullptr) return kNvFailed;
    return table.Library().PowerPoliciesGetStatus(table.Board(gpu).gpuHandle, record);
}

NvStatus SetPowerPolicyStatus(GpuBoardTable& table, int gpu, NvPowerPoliciesStatus* record) {
    if (!table.IsValidGpu(gpu) || record == nullptr) return kNvFailed;
    record->version = kPowerPoliciesStatusTag;
    return table.Library().PowerPoliciesSetStatus(table.Board(gpu).gpuHandle, record);
}

}  // namespace pyx
