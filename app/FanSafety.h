#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "app/TuningReport.h"
#include "gpu/GpuBoardTable.h"

namespace pyx {

// Why the watch handed a fan back to the card.
enum class FanHandBackReason : uint8_t {
    ThermalLimit,     // the GPU reached its thermal limit while a fan was fixed below full speed
    TemperatureLost,  // the GPU's temperature could not be read several ticks in a row
};

// One hand-back the watch made, with every answer the card gave to it.
struct FanHandBack {
    int gpu = -1;
    FanHandBackReason reason = FanHandBackReason::ThermalLimit;
    int32_t temperatureC = 0;  // ThermalLimit: what was read
    int32_t limitC = 0;        // ThermalLimit: the limit it reached
    TuningReport writes;
};

// Failed temperature reads in a row after which a fixed fan is no longer trusted.
inline constexpr int kTemperatureReadsBeforeHandBack = 3;

// Keeps a fan from staying fixed where nobody watches it: the one place that decides when a
// fan this run pinned goes back to the card's own control. Every owner of the cards (the
// window, pyxtunectl monitor) ticks it once a second and hands back at its end through it.
class FanSafety {
public:
    explicit FanSafety(GpuBoardTable& table) : table_(table) {}

    // One monitoring tick over every GPU with a fan this run fixed: a GPU at or above its
    // thermal limit with such a fan below full speed, or whose temperature failed
    // kTemperatureReadsBeforeHandBack reads in a row, gets its pinned fans handed back, once.
    // Returns what was handed back (empty on a quiet tick).
    std::vector<FanHandBack> Tick();

    // Fans the cards report as fixed now (set by another run or program) are watched from here
    // on as if this run had fixed them; the end's hand-back leaves them alone. For an owner
    // that did not fix them itself, such as a monitor started beside the window.
    void WatchManualFans();

    // The owner's end: every fan this run fixed and did not hand back goes back to the card.
    TuningReport HandBackPinned();
    // Whether a tick has a fan to watch (one fixed, by this run or adopted, not yet handed
    // back), so that an owner with nothing to watch need not tick at all.
    bool Watching() const;

private:
    GpuBoardTable& table_;
    std::array<int, kMaxGpus> failedReads_{};
    std::array<bool, kMaxGpus> adopted_{};
    // A hand-back was made since the GPU's fans were last all free.
    std::array<bool, kMaxGpus> quiet_{};
};

// The sentences of DescribeHandBack: why (%1 the GPU; %2 and %3 the temperature read and the
// limit, or %2 the failed reads in a row), then what became of the fan, after a colon (%4 or %3).
inline constexpr char kHandBackThermalText[] =
    "GPU %1 reached %2 C, its thermal limit of %3 C, while a fan was fixed below full speed: %4";
inline constexpr char kHandBackTemperatureLostText[] =
    "GPU %1's temperature could not be read %2 times in a row while a fan was fixed: %3";
inline constexpr char kFanBackText[] = "the fan is back under the card's own control.";
// %1: each refused write with its status, separated by "; ".
inline constexpr char kFanNotBackText[] =
    "the card refused to take the fan back: %1. Run \"pyxtunectl fan auto\" or lower the card's load.";

// What a user reads of a hand-back, in the user's language: which GPU, why, and what the card
// refused of it.
std::string DescribeHandBack(const FanHandBack& handBack);

}  // namespace pyx
