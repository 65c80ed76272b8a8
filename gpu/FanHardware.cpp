#include "gpu/FanHardware.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "gpu/GpuBoardTable.h"
#include "gpu/I2cBus.h"

namespace pyx {

namespace {

constexpr uint32_t kAllCoolers = 7;
constexpr uint32_t kCoolerTypeFan = 1;
constexpr uint32_t kCoolerPolicyManual = 1;
constexpr int kSlot3 = 3;

}  // namespace

void PauseMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

NvStatus ReadFanChip(GpuBoardTable& table, int gpu, int slot, uint8_t reg, uint8_t* value) {
    return ReadSlotRegister(table, gpu, &reg, value, slot);
}

NvStatus WriteFanChip(GpuBoardTable& table, int gpu, int slot, uint8_t reg, uint8_t value) {
    return WriteSlotRegister(table, gpu, &reg, &value, slot);
}

NvStatus ReadCoolerSettings(GpuBoardTable& table, int gpu, NvCoolerSettingsV4* record) {
    std::memset(record, 0, sizeof *record);
    record->version = kCoolerSettingsV4Tag;
    return table.Library().GetCoolerSettings(table.Board(gpu).gpuHandle, kAllCoolers, record);
}

int FindFanCooler(const NvCoolerSettingsV4& record) {
    const uint32_t count = record.count < 20 ? record.count : 20;
    for (uint32_t i = 0; i < count; ++i)
        if (record.cooler[i].type == kCoolerTypeFan) return static_cast<int>(i);
    return -1;
}

NvStatus SendCoolerLevel(GpuBoardTable& table, int gpu, uint32_t coolerIndex, uint32_t level) {
    NvCoolerLevels levels;
    std::memset(&levels, 0, sizeof levels);
    levels.version = kCoolerLevelsTag;
    levels.cooler[0].level = level;
    levels.cooler[0].policy = kCoolerPolicyManual;
    return table.Library().SetCoolerLevels(table.Board(gpu).gpuHandle, coolerIndex, &levels);
}

NvStatus SetLibraryFanLevel(GpuBoardTable& table, int gpu, int32_t value, bool twice) {
    NvCoolerSettingsV4 scratch;
    const NvStatus read = ReadCoolerSettings(table, gpu, &scratch);
    if (read != kNvOk) return read;
    const int fan = FindFanCooler(scratch);
    if (fan < 0) return kNvFailed;
    const auto level = static_cast<uint32_t>(value);
    NvStatus status = SendCoolerLevel(table, gpu, static_cast<uint32_t>(fan), level);
    if (!twice) return status;
    PauseMs(10);
    status = SendCoolerLevel(table, gpu, static_cast<uint32_t>(fan), level);
    PauseMs(10);
    return status;
}

NvStatus RestoreLibraryFan(GpuBoardTable& table, int gpu) {
    NvCoolerSettingsV4 scratch;
    const NvStatus read = ReadCoolerSettings(table, gpu, &scratch);
    if (read != kNvOk) return read;
    const int fan = FindFanCooler(scratch);
    if (fan < 0) return kNvFailed;
    uint32_t index = static_cast<uint32_t>(fan);
    // The library's own answer: a refused hand-back must not read as one the card took.
    return table.Library().RestoreCoolerSettings(table.Board(gpu).gpuHandle, &index, 1);
}

NvStatus LibraryFanMode(GpuBoardTable& table, int gpu, int32_t* out) {
    GpuBoard& board = table.Board(gpu);
    // Cleared before the read: a failed read must not leave the last level looking current.
    board.fanLevelNv = -1;
    NvCoolerSettingsV4 scratch;
    const NvStatus s = ReadCoolerSettings(table, gpu, &scratch);
    if (s != kNvOk) return s;
    const int fan = FindFanCooler(scratch);
    if (fan < 0) return kNvFailed;
    const auto& cooler = scratch.cooler[fan];
    board.fanLevelNv = static_cast<int32_t>(cooler.currentLevel);
    *out = cooler.currentPolicy == kCoolerPolicyManual ? 2 : 1;
    return kNvOk;
}

bool Slot0ChipTellsMode(const GpuBoardTable& table, int gpu) {
    const GpuBoard& board = table.Board(gpu);
    return board.i2cSlots[kFanChipSlot0].devAddress != 0 && board.i2cSlots[kSlot3].devAddress == 0;
}

NvStatus Slot0ChipMode(GpuBoardTable& table, int gpu, int32_t* out) {
    uint8_t config = 0;
    const NvStatus s = ReadFanChip(table, gpu, kFanChipSlot0, kSlot0FanConfig, &config);
    if (s != kNvOk) return s;
    *out = (config & 0x01) + 1;
    return kNvOk;
}

}  // namespace pyx
