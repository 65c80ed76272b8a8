#include "app/FanCurve.h"

#include <algorithm>
#include <charconv>

namespace pyx {

namespace {

const char* UnitText(FanUnit unit) { return unit == FanUnit::Rpm ? " RPM" : " %"; }

std::optional<int32_t> Number(std::string_view text) {
    int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return value;
}

}  // namespace

FanCurve FanCurve::Default(FanUnit unit, std::optional<FanLevelRange> levels) {
    FanCurve curve;
    curve.points = {{40, 30}, {50, 35}, {60, 50}, {70, 75}, {80, 100}};
    if (unit == FanUnit::Rpm && levels)
        for (FanCurvePoint& point : curve.points)
            point.level = static_cast<int32_t>(static_cast<int64_t>(levels->max) * point.level / 100);
    return curve;
}

std::optional<int32_t> FanCurve::LevelAt(int32_t temperatureC) const {
    if (points.empty()) return std::nullopt;
    if (temperatureC < points.front().temperatureC) {
        if (autoBelow) return std::nullopt;
        return points.front().level;
    }
    if (temperatureC >= points.back().temperatureC) return points.back().level;
    const auto above = std::find_if(points.begin(), points.end(),
                                    [&](const FanCurvePoint& p) { return p.temperatureC > temperatureC; });
    const FanCurvePoint& low = *(above - 1);
    const FanCurvePoint& high = *above;
    // Rounded to the nearest level, so that a rising temperature never shows a step backwards.
    const int64_t span = high.temperatureC - low.temperatureC;
    const int64_t rise = static_cast<int64_t>(high.level - low.level) * (temperatureC - low.temperatureC);
    return static_cast<int32_t>(low.level + (2 * rise + span) / (2 * span));
}

std::string FormatFanCurvePoints(const FanCurve& curve) {
    std::string text;
    for (const FanCurvePoint& point : curve.points) {
        if (!text.empty()) text += ',';
        text += std::to_string(point.temperatureC);
        text += ':';
        text += std::to_string(point.level);
    }
    return text;
}

std::optional<FanCurve> ParseFanCurvePoints(std::string_view text, std::string* why) {
    FanCurve curve;
    const auto fail = [&](std::string reason) -> std::optional<FanCurve> {
        if (why != nullptr) *why = std::move(reason);
        return std::nullopt;
    };
    size_t at = 0;
    while (at < text.size()) {
        if (text[at] == ',' || text[at] == ' ') {
            ++at;
            continue;
        }
        const size_t end = std::min(text.find_first_of(", ", at), text.size());
        const std::string_view item = text.substr(at, end - at);
        at = end;
        const size_t colon = item.find(':');
        const std::optional<int32_t> temperatureC = Number(item.substr(0, colon));
        const std::optional<int32_t> level =
            colon == std::string_view::npos ? std::nullopt : Number(item.substr(colon + 1));
        if (!temperatureC || !level) {
            std::string reason = "\"";
            reason += item;
            reason += "\" is not a point (write temperature:level, such as 60:50)";
            return fail(std::move(reason));
        }
        if (curve.points.size() == kMaxFanCurvePoints) return fail("a curve has at most 8 points");
        curve.points.push_back({*temperatureC, *level});
    }
    if (std::optional<std::string> fault = FanCurveFault(curve)) return fail(std::move(*fault));
    return curve;
}

std::optional<std::string> FanCurveFault(const FanCurve& curve) {
    if (curve.points.size() < kMinFanCurvePoints || curve.points.size() > kMaxFanCurvePoints)
        return "a curve has 2 to 8 points (this one has " + std::to_string(curve.points.size()) + ")";
    for (size_t i = 0; i < curve.points.size(); ++i) {
        const FanCurvePoint& point = curve.points[i];
        const std::string name = std::to_string(point.temperatureC) + ":" + std::to_string(point.level);
        if (point.temperatureC < kFanCurveLowestC || point.temperatureC > kFanCurveHighestC)
            return "the point " + name + " names a temperature outside 0..120 C";
        if (point.level < 0) return "the point " + name + " has a level below 0";
        if (i == 0) continue;
        const FanCurvePoint& before = curve.points[i - 1];
        if (point.temperatureC <= before.temperatureC) {
            std::string reason = "the temperatures must rise from point to point (";
            reason += name;
            reason += " comes after ";
            reason += std::to_string(before.temperatureC);
            reason += " C)";
            return reason;
        }
        if (point.level < before.level) {
            std::string reason = "the fan must not slow down as the GPU heats up (";
            reason += name;
            reason += " is below the level at ";
            reason += std::to_string(before.temperatureC);
            reason += " C)";
            return reason;
        }
    }
    return std::nullopt;
}

std::optional<std::string> FanCurveFault(const FanCurve& curve, const FanLevelRange& levels, FanUnit unit) {
    if (std::optional<std::string> fault = FanCurveFault(curve)) return fault;
    for (const FanCurvePoint& point : curve.points)
        if (point.level > levels.max) {
            std::string reason = "the point ";
            reason += std::to_string(point.temperatureC);
            reason += ":";
            reason += std::to_string(point.level);
            reason += " is above the fan's highest level of ";
            reason += std::to_string(levels.max);
            reason += UnitText(unit);
            return reason;
        }
    return std::nullopt;
}

}  // namespace pyx
