#include "gpu/FanControl.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "gpu/I2cBus.h"

namespace pyx {

namespace {

using std::chrono::milliseconds;

constexpr uint32_t kAllCoolers = 7;
constexpr uint32_t kCoolerTypeFan = 1;
constexpr uint32_t kCoolerPolicyManual = 1;

// Slot-1 duty chip.
constexpr uint8_t kSlot1DutyReading = 0x30;
constexpr uint8_t kSlot1DutyTarget = 0x31;
constexpr uint8_t kSlot1DutyLimit = 0x39;
constexpr uint8_t kSlot1Mode = 0x5D;
constexpr uint8_t kSlot1ManualBits = 0xE0;
// Slot-0 tachometer chip.
constexpr uint8_t kSlot0FanConfig = 0x60;
constexpr uint8_t kSlot0CountHigh = 0x74;
constexpr uint8_t kSlot0CountLow = 0x75;
constexpr uint8_t kSlot0CurveFirst = 0xA0;

void Pause(int ms) { std::this_thread::sleep_for(milliseconds(ms)); }

NvStatus ReadChip(GpuBoardTable& table, int gpu, int slot, uint8_t reg, uint8_t* value) {
    return ReadSlotRegister(table, gpu, &reg, value, slot);
}

NvStatus WriteChip(GpuBoardTable& table, int gpu, int slot, uint8_t reg, uint8_t value) {
    return WriteSlotRegister(table, gpu, &reg, &value, slot);
}

NvStatus ReadCoolers(GpuBoardTable& table, int gpu, NvCoolerSettingsV4* record) {
    std::memset(record, 0, sizeof *record);
    record->version = kCoolerSettingsV4Tag;
    return table.Library().GetCoolerSettings(table.Board(gpu).gpuHandle, kAllCoolers, record);
}

// Index of the first fan among the record's coolers, -1 when there is none.
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

// Types 0 and 1: the level is sent twice, 10 ms apart, because some drivers drop the first
// set after the policy changes; type 2 sends it once before the chip takes over.
NvStatus SetLibraryFanLevel(GpuBoardTable& table, int gpu, int32_t value, bool twice) {
    NvCoolerSettingsV4 scratch;
    const NvStatus read = ReadCoolers(table, gpu, &scratch);
    if (read != kNvOk) return read;
    const int fan = FindFanCooler(scratch);
    if (fan < 0) return kNvFailed;
    const auto level = static_cast<uint32_t>(value);
    NvStatus status = SendCoolerLevel(table, gpu, static_cast<uint32_t>(fan), level);
    if (!twice) return status;
    Pause(10);
    status = SendCoolerLevel(table, gpu, static_cast<uint32_t>(fan), level);
    Pause(10);
    return status;
}

NvStatus SetSlot1Duty(GpuBoardTable& table, int gpu, int32_t percent) {
    GpuBoard& board = table.Board(gpu);
    if (board.fanChipLimit != -1) {
        const NvStatus s = WriteChip(table, gpu, kFanChipSlot1, kSlot1DutyLimit, 0xFF);
        if (s != kNvOk) return s;
    }
    uint8_t mode = 0;
    NvStatus s = ReadChip(table, gpu, kFanChipSlot1, kSlot1Mode, &mode);
    if (s != kNvOk) return s;
    s = WriteChip(table, gpu, kFanChipSlot1, kSlot1Mode, static_cast<uint8_t>(mode | kSlot1ManualBits));
    if (s != kNvOk) return s;
    // One duty step is 0.39 %; 100 % (256.4 steps) is held at the register's 255.
    const double steps = percent / 0.39;
    const uint8_t duty = steps >= 255.0 ? 255 : steps <= 0.0 ? 0 : static_cast<uint8_t>(steps);
    return WriteChip(table, gpu, kFanChipSlot1, kSlot1DutyTarget, duty);
}

NvStatus SetSlot0Rpm(GpuBoardTable& table, int gpu, int32_t rpm) {
    uint8_t config = 0;
    NvStatus s = ReadChip(table, gpu, kFanChipSlot0, kSlot0FanConfig, &config);
    if (s != kNvOk) return s;
    config = static_cast<uint8_t>((config & ~0x04u) | 0x01u);
    s = WriteChip(table, gpu, kFanChipSlot0, kSlot0FanConfig, config);
    if (s != kNvOk) return s;
    const uint16_t count = TachometerCountForRpm(rpm);
    const NvStatus high = WriteChip(table, gpu, kFanChipSlot0, kSlot0CountHigh, static_cast<uint8_t>(count >> 8));
    const NvStatus low = WriteChip(table, gpu, kFanChipSlot0, kSlot0CountLow, static_cast<uint8_t>(count & 0xFF));
    return high != kNvOk ? high : low;
}

// One byte of the automatic curve: the count for v RPM in units of 16 counts. A range value
// of 0 (never calibrated) or one too slow for a byte gives the slowest entry, 0xFF.
uint8_t CurveCountByte(uint32_t rpm) {
    if (rpm == 0) return 0xFF;
    const uint32_t units = (static_cast<uint32_t>(kTachometerConstant) / rpm) >> 4;
    return units > 0xFF ? 0xFF : static_cast<uint8_t>(units);
}

NvStatus RestoreLibraryFan(GpuBoardTable& table, int gpu) {
    NvCoolerSettingsV4 scratch;
    const NvStatus read = ReadCoolers(table, gpu, &scratch);
    if (read != kNvOk) return read;
    const int fan = FindFanCooler(scratch);
    if (fan < 0) return kNvFailed;
    uint32_t index = static_cast<uint32_t>(fan);
    table.Library().RestoreCoolerSettings(table.Board(gpu).gpuHandle, &index, 1);
    // Callers have always treated this path's answer as "not supported"; the library's own
    // answer is in the trace.
    return kNvNotSupported;
}

NvStatus RestoreSlot1(GpuBoardTable& table, int gpu) {
    GpuBoard& board = table.Board(gpu);
    if (board.fanChipLimit != -1) {
        const NvStatus s = WriteChip(table, gpu, kFanChipSlot1, kSlot1DutyLimit,
                                     static_cast<uint8_t>(board.fanChipLimit & 0xFF));
        if (s != kNvOk) return s;
    }
    uint8_t mode = 0;
    const NvStatus s = ReadChip(table, gpu, kFanChipSlot1, kSlot1Mode, &mode);
    if (s != kNvOk) return s;
    return WriteChip(table, gpu, kFanChipSlot1, kSlot1Mode, static_cast<uint8_t>(mode & 0x1F));
}

NvStatus RestoreSlot0(GpuBoardTable& table, int gpu) {
    const GpuBoard& board = table.Board(gpu);
    uint8_t config = 0;
    NvStatus s = ReadChip(table, gpu, kFanChipSlot0, kSlot0FanConfig, &config);
    if (s != kNvOk) return s;
    s = WriteChip(table, gpu, kFanChipSlot0, kSlot0FanConfig, static_cast<uint8_t>(config & ~0x05u));
    if (s != kNvOk) return s;
    const uint8_t curve[9] = {board.fanCurveHigh,
                              board.fanCurveLow,
                              0,
                              0,
                              CurveCountByte(board.fanRangeMax),
                              CurveCountByte(board.fanRangeMid),
                              CurveCountByte(board.fanRangeMin),
                              CurveCountByte(board.fanRangeMin),
                              CurveCountByte(board.fanRangeMin)};
    for (int i = 0; i < 9; ++i) {
        s = WriteChip(table, gpu, kFanChipSlot0, static_cast<uint8_t>(kSlot0CurveFirst + i), curve[i]);
        if (s != kNvOk) return s;
    }
    return kNvOk;
}

}  // namespace

uint16_t TachometerCountForRpm(int32_t rpm) {
    if (rpm <= 0) return 0xFFFF;
    const int32_t count = kTachometerConstant / rpm;
    if (count > 0xFFFF) return 0xFFFF;
    // Faster than the chip can count: the shortest period it can be told.
    return count < 1 ? 1 : static_cast<uint16_t>(count);
}

int32_t RpmForTachometerCount(uint16_t count) {
    return count == 0 ? 0 : kTachometerConstant / count;
}

NvStatus SetFanLevel(GpuBoardTable& table, int gpu, int32_t value) {
    if (!table.IsValidGpu(gpu)) return kNvFailed;
    switch (table.Board(gpu).fanControlType) {
    case 1:
        Pause(20);
        [[fallthrough]];
    case 0:
        return SetLibraryFanLevel(table, gpu, value, true);
    case 2: {
        const NvStatus s = SetLibraryFanLevel(table, gpu, value, false);
        if (s != kNvOk) return s;
        return SetSlot1Duty(table, gpu, value);
    }
    case 3:
        return SetSlot0Rpm(table, gpu, value);
    default:
        return kNvNotSupported;
    }
}

NvStatus RestoreFanAuto(GpuBoardTable& table, int gpu) {
    if (!table.IsValidGpu(gpu)) return kNvFailed;
    switch (table.Board(gpu).fanControlType) {
    case 1:
        Pause(20);
        [[fallthrough]];
    case 0:
        return RestoreLibraryFan(table, gpu);
    case 2:
        return RestoreSlot1(table, gpu);
    case 3:
        return RestoreSlot0(table, gpu);
    default:
        return kNvNotSupported;
    }
}

NvStatus GetFanReading(GpuBoardTable& table, int gpu, int32_t* out) {
    if (!table.IsValidGpu(gpu) || out == nullptr) return kNvFailed;
    const GpuBoard& board = table.Board(gpu);
    switch (board.fanControlType) {
    case 0:
        if (board.fanLevelNv == -1) return kNvFailed;
        *out = board.fanLevelNv;
        return kNvOk;
    case 1:
    case 2: {
        uint8_t duty = 0;
        const uint8_t reg = board.fanControlType == 1 ? kSlot1DutyReading : kSlot1DutyTarget;
        const NvStatus s = ReadChip(table, gpu, kFanChipSlot1, reg, &duty);
        if (s != kNvOk) return s;
        // To the nearest percent: the duty a percent is set as reads back as that percent, so
        // a saved fan speed does not creep down by one at every save and load.
        *out = (duty * 100 + 127) / 255;
        return kNvOk;
    }
    case 3: {
        uint8_t config = 0;
        uint8_t high = 0;
        uint8_t low = 0;
        NvStatus s = ReadChip(table, gpu, kFanChipSlot0, kSlot0FanConfig, &config);
        if (s == kNvOk) s = ReadChip(table, gpu, kFanChipSlot0, kSlot0CountHigh, &high);
        if (s == kNvOk) s = ReadChip(table, gpu, kFanChipSlot0, kSlot0CountLow, &low);
        if (s != kNvOk) return s;
        *out = RpmForTachometerCount(static_cast<uint16_t>((high << 8) | low));
        return kNvOk;
    }
    default:
        return kNvNotSupported;
    }
}

NvStatus GetFanMode(GpuBoardTable& table, int gpu, int32_t* out) {
    if (!table.IsValidGpu(gpu) || out == nullptr) return kNvFailed;
    GpuBoard& board = table.Board(gpu);
    if (board.fanControlType == 4) return kNvFailed;
    if (board.i2cSlots[kFanChipSlot0].devAddress != 0 && board.i2cSlots[3].devAddress == 0) {
        uint8_t config = 0;
        const NvStatus s = ReadChip(table, gpu, kFanChipSlot0, kSlot0FanConfig, &config);
        if (s != kNvOk) return s;
        *out = (config & 0x01) + 1;
        return kNvOk;
    }
    if (board.fanControlType == 2) {
        uint8_t mode = 0;
        const NvStatus s = ReadChip(table, gpu, kFanChipSlot1, kSlot1Mode, &mode);
        if (s != kNvOk) return s;
        *out = (mode & kSlot1ManualBits) == kSlot1ManualBits ? 2 : 1;
        return kNvOk;
    }
    if (board.fanControlType > 1) return kNvNotSupported;
    if (board.fanControlType == 1) Pause(20);
    // Cleared before the read: a failed read must not leave the last level looking current.
    board.fanLevelNv = -1;
    NvCoolerSettingsV4 scratch;
    const NvStatus s = ReadCoolers(table, gpu, &scratch);
    if (s != kNvOk) return s;
    const int fan = FindFanCooler(scratch);
    if (fan < 0) return kNvFailed;
    const auto& cooler = scratch.cooler[fan];
    board.fanLevelNv = static_cast<int32_t>(cooler.currentLevel);
    *out = cooler.currentPolicy == kCoolerPolicyManual ? 2 : 1;
    return kNvOk;
}

NvStatus GetFanRange(GpuBoardTable& table, int gpu, uint32_t* outMax, uint32_t* outMin) {
    if (!table.IsValidGpu(gpu)) return kNvFailed;
    const GpuBoard& board = table.Board(gpu);
    const int fan = FindFanCooler(board.coolerSettings);
    if (fan < 0) return kNvFailed;
    if (outMax) *outMax = board.coolerSettings.cooler[fan].maxLevel;
    if (outMin) *outMin = board.coolerSettings.cooler[fan].minLevel;
    return kNvOk;
}

NvStatus ReadBoardCoolerSettings(GpuBoardTable& table, int gpu) {
    if (!table.IsValidGpu(gpu)) return kNvFailed;
    GpuBoard& board = table.Board(gpu);
    const NvStatus s = ReadCoolers(table, gpu, &board.coolerSettings);
    if (s == kNvOk && board.coolerSettings.count == 0) board.fanControlType = 4;
    return s;
}

int QueryFanCoolers(GpuBoardTable& table, int gpu, NvFanCoolersInfo* infoRecord,
                    NvFanCoolersStatus* statusRecord) {
    if (!table.IsValidGpu(gpu)) return -1;
    NvFanCoolersInfo localInfo;
    NvFanCoolersStatus localStatus;
    NvFanCoolersInfo* info = infoRecord ? infoRecord : &localInfo;
    NvFanCoolersStatus* status = statusRecord ? statusRecord : &localStatus;
    std::memset(info, 0, sizeof *info);
    info->version = kFanCoolersInfoTag;
    const NvPhysicalGpuHandle handle = table.Board(gpu).gpuHandle;
    NvStatus s = table.Library().FanCoolersGetInfo(handle, info);
    if (s != kNvOk) {
        std::printf("FanCoolersGetInfo API call failed with error %d\n", s);
        std::fflush(stdout);
        return -1;
    }
    if ((info->flags & 1u) == 0) {
        std::printf("Fan coolers are not supported!\n");
        std::fflush(stdout);
        return 0;
    }
    std::printf("Fan cooler status:\n");
    std::memset(status, 0, sizeof *status);
    status->version = kFanCoolersStatusTag;
    status->count = 0;
    s = table.Library().FanCoolersGetStatus(handle, status);
    if (s != kNvOk) {
        std::printf("FanCoolersGetStatus API call failed with error %d\n", s);
        std::fflush(stdout);
        return -1;
    }
    std::fflush(stdout);
    return 1;
}

NvStatus SetFanCoolerLevel(GpuBoardTable& table, int gpu, float percent, uint32_t coolerId) {
    if (!table.IsValidGpu(gpu)) return kNvFailed;
    NvApiLibrary& library = table.Library();
    const NvPhysicalGpuHandle handle = table.Board(gpu).gpuHandle;
    // Truncated toward zero; a negative or non-numeric request means automatic.
    const uint32_t level = percent >= 1.0f ? static_cast<uint32_t>(percent > 100.0f ? 100.0f : percent) : 0;

    NvFanCoolersInfo info;
    std::memset(&info, 0, sizeof info);
    info.version = kFanCoolersInfoTag;
    NvStatus s = library.FanCoolersGetInfo(handle, &info);
    if (s == kNvNotSupported) {
        s = SendCoolerLevel(table, gpu, 0, level);
        if (s == kNvOk) {
            std::printf("Cooling seetings applied\n");
            NvCoolerSettingsV3 readBack;
            std::memset(&readBack, 0, sizeof readBack);
            readBack.version = kCoolerSettingsV3Tag;
            library.GetCoolerSettings(handle, 0, &readBack);
        } else {
            std::printf("API call failed with error %d\n", s);
        }
        std::fflush(stdout);
        return s;
    }
    if (s != kNvOk) {
        std::printf("FanCoolersGetInfo API call failed with error %d\n", s);
        std::fflush(stdout);
        return s;
    }
    if ((info.flags & 1u) == 0) {
        std::printf("Fan coolers are not supported!\n");
        std::fflush(stdout);
        return kNvNotSupported;
    }
    const uint32_t count = info.count < 32 ? info.count : 32;
    bool found = false;
    for (uint32_t i = 0; i < count && !found; ++i) found = info.entries[i].coolerId == coolerId;
    if (!found) {
        std::printf("Requested fan cooler is not supported!\n");
        std::fflush(stdout);
        return kNvFailed;
    }
    NvFanCoolersControl control;
    std::memset(&control, 0, sizeof control);
    control.version = kFanCoolersControlTag;
    control.count = 1;
    control.entries[0].coolerId = coolerId;
    control.entries[0].level = level;
    control.entries[0].flags = level > 0 ? 1u : 0u;
    s = library.FanCoolersSetControl(handle, &control);
    if (s != kNvOk) {
        std::printf("API call failed with error %d\n", s);
    } else {
        table.Board(gpu).fanCoolerControl = level > 0 ? FanCoolerControl::Manual : FanCoolerControl::Automatic;
        std::printf("Requested feature applied successfully\n\n");
    }
    std::fflush(stdout);
    return s;
}

}  // namespace pyx
