#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "gpu/CardTuning.h"
#include "gpu/FanPath.h"

namespace pyx {

// One point of a fan curve: at this temperature the fan runs at this level (percent, or RPM on
// a tachometer-driven fan).
struct FanCurvePoint {
    int32_t temperatureC = 0;
    int32_t level = 0;
    friend bool operator==(const FanCurvePoint&, const FanCurvePoint&) = default;
};

inline constexpr std::size_t kMinFanCurvePoints = 2;
inline constexpr std::size_t kMaxFanCurvePoints = 8;
// The temperatures a point may name; beyond them no GPU runs, and a typo such as 800 is caught.
inline constexpr int32_t kFanCurveLowestC = 0;
inline constexpr int32_t kFanCurveHighestC = 120;
// A falling temperature lowers the fan only once it is this far below the temperature that
// set the fan's level, and has stayed there this long: a GPU that hovers around a point
// would otherwise make the fan hunt up and down every second.
inline constexpr int32_t kFanCurveHysteresisC = 3;
inline constexpr std::chrono::seconds kFanCurveSpinDownDelay{5};

// The fan of one GPU following its temperature by the user's points: linear between them, flat
// outside them. Below the first point the fan either stays at the first point's level or, with
// autoBelow, goes back to the card's own control (its own quiet or zero-RPM behaviour).
struct FanCurve {
    std::vector<FanCurvePoint> points;
    bool autoBelow = false;

    friend bool operator==(const FanCurve&, const FanCurve&) = default;

    // 40 C 30 %, 50 C 35 %, 60 C 50 %, 70 C 75 %, 80 C 100 %; on a fan driven in RPM the same
    // shares of its highest level.
    static FanCurve Default(FanUnit unit = FanUnit::Percent, std::optional<FanLevelRange> levels = std::nullopt);

    // The level the points give at a temperature; none where the card's own control is asked
    // for (autoBelow, below the first point).
    std::optional<int32_t> LevelAt(int32_t temperatureC) const;
};

// "40:30,50:35,60:50": the points as the settings file and pyxtunectl write them.
std::string FormatFanCurvePoints(const FanCurve& curve);
// The points of FormatFanCurvePoints (commas or blanks between points); none, with the reason in
// why, for text that is not such a list or breaks a rule of FanCurveFault.
std::optional<FanCurve> ParseFanCurvePoints(std::string_view text, std::string* why = nullptr);

// What is wrong with a curve's shape, in words; none for a sound one: 2 to 8 points, each
// temperature within 0..120 C and above the one before, no level below 0 or below the level
// of a cooler point (a fan that slows down as the GPU heats up is a mistake, never a wish).
std::optional<std::string> FanCurveFault(const FanCurve& curve);
// The same, and each level against the levels the fan takes: above the highest is refused; a
// level below the lowest is run at the lowest, so it is not a fault.
std::optional<std::string> FanCurveFault(const FanCurve& curve, const FanLevelRange& levels, FanUnit unit);

}  // namespace pyx
