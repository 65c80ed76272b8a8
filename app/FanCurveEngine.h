#pragma once
#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/AppState.h"
#include "app/FanCurve.h"
#include "app/TuningReport.h"
#include "gpu/GpuBoardTable.h"

namespace pyx {

// Why a curve ended by itself and its fan went back to the card.
enum class FanCurveStopReason : uint8_t {
    TemperatureLost,  // the GPU's temperature could not be read several ticks in a row
    Refused,          // the card refused a level the curve sent
};

// One curve that ended, with every answer the card gave to the hand-back (and, for Refused,
// to the write it refused).
struct FanCurveStop {
    int gpu = -1;
    FanCurveStopReason reason = FanCurveStopReason::TemperatureLost;
    TuningReport writes;
};

// A running curve as a user watches it: the temperature last read and what the fan was given.
struct FanCurveLive {
    std::optional<int32_t> temperatureC;  // none before the first read, or while reads fail
    std::optional<int32_t> level;         // the level last sent; none before any
    bool automatic = false;               // the card's own control, below the first point
};

// Runs the curves AppState holds, once a second, in whichever process owns the cards (the
// service, or the window where there is none). A rising temperature raises the fan at the next
// tick; a falling one lowers it only by the hysteresis and spin-down rules of FanCurve.h.
// A GPU whose temperature cannot be read kTemperatureReadsBeforeHandBack ticks in a row, or
// whose card refuses a level, gets its fan handed back and its curve ended; a curve whose fan
// another rule handed back (the thermal watch, a reset) ends without a word of its own.
class FanCurveEngine {
public:
    using Clock = std::chrono::steady_clock;

    FanCurveEngine(GpuBoardTable& table, AppState& state) : table_(table), state_(state) {}

    std::vector<FanCurveStop> Tick(Clock::time_point now = Clock::now());
    // Whether any GPU has a curve to run, so that an owner with none need not tick.
    bool Running() const;
    // The running curve of a GPU as last ticked; none for a GPU without a curve.
    std::optional<FanCurveLive> Live(int gpu) const;
    // One GPU as `fan curve show` gives it: {"gpu", "unit", "curve" (the points, null without a
    // curve), "autoBelow"}, and with a running curve "temperatureC", "level", "automatic".
    nlohmann::json ShowJson(int gpu) const;
    // Every curve sends its level again at the next tick, as at its start: the cards forgot
    // their fans (a resume, a driver reload) and the levels this engine last sent mean nothing.
    void Restart();
    // The owner's end: every GPU with a curve gets the fans the curve fixed back. The curves
    // stay in AppState, so that a save at the end still writes them.
    TuningReport End();

private:
    struct Run {
        std::optional<FanCurve> curve;  // the curve this run follows; another in AppState starts afresh
        FanCurveLive live;
        bool fixedByCurve = false;  // the level last sent was a fixed one
        int32_t setAtC = 0;         // the temperature at which the level was sent
        std::optional<Clock::time_point> lowerSince;
        int failedReads = 0;
    };
    std::optional<FanCurveStop> TickGpu(int gpu, Run& run, Clock::time_point now);
    // The level (none: the card's own control) sent; the card's answers into writes.
    bool Send(int gpu, Run& run, std::optional<int32_t> level, int32_t temperatureC, TuningReport& writes);
    FanCurveStop StopCurve(int gpu, Run& run, FanCurveStopReason reason, TuningReport writes);

    GpuBoardTable& table_;
    AppState& state_;
    std::array<Run, kMaxGpus> runs_{};
};

// The sentences of DescribeCurveStop: why (%1 the GPU; %2 the failed reads in a row, or the write
// the card refused with its answer), then what became of the fan (%3: FanSafety.h's kFanBackText
// or kFanNotBackText).
inline constexpr char kCurveTemperatureLostText[] =
    "GPU %1's temperature could not be read %2 times in a row, so its fan curve stopped: %3";
inline constexpr char kCurveRefusedText[] = "GPU %1's fan curve stopped, because the card refused %2: %3";

// What a user reads of a curve's end, in the user's language: which GPU, why, and what the
// card refused of the hand-back.
std::string DescribeCurveStop(const FanCurveStop& stop);

}  // namespace pyx
