#pragma once
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>

#include "gpu/BoardFamily.h"
#include "gpu/BoardFan.h"
#include "gpu/NvApiRecords.h"

namespace pyx {

// A device this card may carry on its I2C bus, at a fixed slot number.
struct I2cSlot {
    uint8_t portByte = 0;    // copied into the request's DDC-port byte
    uint8_t devAddress = 0;  // 8-bit address (7-bit shifted left); 0 = no device found
};

// Who drives the fans of the library's fan-cooler interface, as far as this program has told
// them: the interface reports each cooler's level but not whether it runs by hand.
enum class FanCoolerControl : uint8_t { Unknown, Automatic, Manual };

inline constexpr int kI2cSlotCount = 15;
inline constexpr int kMaxGpus = 5;
inline constexpr auto kBusMutexWait = std::chrono::milliseconds(2000);

// One physical GPU. Most fields are written during discovery before any other thread starts;
// the two the hardware thread learns while the window already runs (the fan path that the
// video BIOS selects, the fan chip's duty limit) are atomic, read and written whole.
struct GpuBoard {
    NvPhysicalGpuHandle gpuHandle = nullptr;
    int32_t fanLevelNv = 0;
    std::array<I2cSlot, kI2cSlotCount> i2cSlots{};
    std::atomic<int32_t> fanChipLimit{-1};
    uint32_t hasGraphicsClock = 0;
    uint32_t hasMemoryClock = 0;
    BoardFan fan;  // the fan path and its driver
    uint32_t fanChipFlags = 0;
    NvCoolerSettingsV4 coolerSettings{};
    // The only lock on this card's bus, held for one transaction at a time.
    std::unique_ptr<std::timed_mutex> busMutex;
    uint8_t fanCurveLow = 0;
    uint8_t fanCurveHigh = 0;
    uint32_t fanRangeMid = 0;
    uint32_t fanRangeMax = 0;
    uint32_t fanRangeMin = 0;
    char16_t deviceIdText[5] = {};  // e.g. u"1b81"
    bool isSubsysA014 = false;  // the family-D board that takes a fixed overclock
    uint32_t hasFanCoolersApi = 0;
    // Set by every fan-cooler level this program sends; Unknown until the first.
    std::atomic<FanCoolerControl> fanCoolerControl{FanCoolerControl::Unknown};
    // The board's own fan path holds a fixed level this run set and has not handed back.
    std::atomic<bool> fanPathPinned{false};
    BoardFamily family = BoardFamily::None;
    uint32_t hasBoostClock = 0;
    uint32_t powerPolicyInfoWord = 0;
};

}  // namespace pyx
