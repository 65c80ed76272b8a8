#include "gpu/FanCoolerPair.h"

#include <cstring>

#include "gpu/FanControl.h"
#include "gpu/NvApiRecords.h"

namespace pyx {

namespace {

constexpr uint32_t kFirstCoolerId = 1;
constexpr uint32_t kSecondCoolerId = 2;

// A failed read says nothing against the cooler.
bool CoolerListed(GpuBoardTable& table, int gpu, uint32_t coolerId) {
    NvFanCoolersInfo info;
    std::memset(&info, 0, sizeof info);
    info.version = kFanCoolersInfoTag;
    if (table.Library().FanCoolersGetInfo(table.Board(gpu).gpuHandle, &info) != kNvOk) return true;
    const uint32_t count = info.count < 32 ? info.count : 32;
    for (uint32_t i = 0; i < count; ++i)
        if (info.entries[i].coolerId == coolerId) return true;
    return false;
}

}  // namespace

NvStatus SetFanCoolerPair(GpuBoardTable& table, int gpu, float percent) {
    const NvStatus first = SetFanCoolerLevel(table, gpu, percent, kFirstCoolerId);
    const NvStatus second = SetFanCoolerLevel(table, gpu, percent, kSecondCoolerId);
    if (first != kNvOk) return first;
    if (second != kNvOk && table.IsValidGpu(gpu) && CoolerListed(table, gpu, kSecondCoolerId)) return second;
    return kNvOk;
}

}  // namespace pyx
