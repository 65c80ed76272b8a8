#include "app/FanCurveEngine.h"

#include <algorithm>

#include "app/CoreTexts.h"
#include "app/FanSafety.h"
#include "gpu/CardSensors.h"
#include "gpu/CardTuning.h"

namespace pyx {

namespace {

int GpuCount(const GpuBoardTable& table) { return std::min<int>(table.gpuCount, kMaxGpus); }

// Ordered so that the card's own control counts as the lowest level of all.
int64_t Rank(std::optional<int32_t> level) { return level ? *level : -1; }

}  // namespace

bool FanCurveEngine::Running() const {
    return std::any_of(state_.fanCurves.begin(), state_.fanCurves.begin() + GpuCount(table_),
                       [](const std::optional<FanCurve>& curve) { return curve.has_value(); });
}

std::optional<FanCurveLive> FanCurveEngine::Live(int gpu) const {
    if (gpu < 0 || gpu >= GpuCount(table_) || !state_.fanCurves[static_cast<size_t>(gpu)]) return std::nullopt;
    const Run& run = runs_[static_cast<size_t>(gpu)];
    if (run.curve != state_.fanCurves[static_cast<size_t>(gpu)]) return FanCurveLive{};
    return run.live;
}

nlohmann::json FanCurveEngine::ShowJson(int gpu) const {
    nlohmann::json entry = {{"gpu", gpu}, {"unit", FanUnitName(CardTuning(table_, gpu).FixedFanUnit())}};
    const std::optional<FanCurve> curve =
        gpu >= 0 && gpu < kMaxGpus ? state_.fanCurves[static_cast<size_t>(gpu)] : std::nullopt;
    entry["curve"] = curve ? nlohmann::json(FormatFanCurvePoints(*curve)) : nlohmann::json();
    entry["autoBelow"] = curve && curve->autoBelow;
    if (const std::optional<FanCurveLive> live = Live(gpu)) {
        entry["temperatureC"] = live->temperatureC ? nlohmann::json(*live->temperatureC) : nlohmann::json();
        entry["level"] = live->level ? nlohmann::json(*live->level) : nlohmann::json();
        entry["automatic"] = live->automatic;
    }
    return entry;
}

std::vector<FanCurveStop> FanCurveEngine::Tick(Clock::time_point now) {
    std::vector<FanCurveStop> stops;
    for (int gpu = 0; gpu < GpuCount(table_); ++gpu) {
        Run& run = runs_[static_cast<size_t>(gpu)];
        const std::optional<FanCurve>& wanted = state_.fanCurves[static_cast<size_t>(gpu)];
        if (!wanted) {
            run = Run{};
            continue;
        }
        if (run.curve != wanted) {
            run = Run{};
            run.curve = wanted;
        }
        if (std::optional<FanCurveStop> stop = TickGpu(gpu, run, now)) stops.push_back(std::move(*stop));
    }
    return stops;
}

std::optional<FanCurveStop> FanCurveEngine::TickGpu(int gpu, Run& run, Clock::time_point now) {
    const CardTuning card(table_, gpu);
    // Another rule took the fan back (the thermal watch, a reset): the curve has no fan left.
    if (run.fixedByCurve && !card.FanPinned()) {
        state_.fanCurves[static_cast<size_t>(gpu)].reset();
        run = Run{};
        return std::nullopt;
    }
    const std::optional<int32_t> temperatureC = CardSensors(table_, gpu).ReadGpuTemperatureC();
    run.live.temperatureC = temperatureC;
    if (!temperatureC) {
        if (++run.failedReads < kTemperatureReadsBeforeHandBack) return std::nullopt;
        return StopCurve(gpu, run, FanCurveStopReason::TemperatureLost, {});
    }
    run.failedReads = 0;

    std::optional<int32_t> target = run.curve->LevelAt(*temperatureC);
    if (target) target = std::max(*target, card.FixedFanLevels().min);
    const bool first = !run.live.level && !run.live.automatic;
    const int64_t current = run.live.automatic ? -1 : Rank(run.live.level);
    if (!first && Rank(target) <= current) {
        // Lower only once the GPU is clearly cooler than when the level was set, and stays so.
        if (Rank(target) == current || *temperatureC > run.setAtC - kFanCurveHysteresisC) {
            run.lowerSince.reset();
            return std::nullopt;
        }
        if (!run.lowerSince) run.lowerSince = now;
        if (now - *run.lowerSince < kFanCurveSpinDownDelay) return std::nullopt;
    }
    TuningReport writes;
    if (!Send(gpu, run, target, *temperatureC, writes))
        return StopCurve(gpu, run, FanCurveStopReason::Refused, std::move(writes));
    return std::nullopt;
}

bool FanCurveEngine::Send(int gpu, Run& run, std::optional<int32_t> level, int32_t temperatureC,
                          TuningReport& writes) {
    const CardTuning card(table_, gpu);
    CardWrites answers;
    if (level)
        answers = card.Write({.fan = card.HasFanCoolers() ? FanRequest::CoolerLevel(*level) : FanRequest::Fixed(*level)});
    else  // the curve owns the fan, whoever fixed it before it started
        answers = card.HandBackFans();
    writes.Add(gpu, answers);
    run.live.level = level;
    run.live.automatic = !level;
    run.fixedByCurve = level.has_value();
    run.setAtC = temperatureC;
    run.lowerSince.reset();
    return writes.Refusals().empty();
}

FanCurveStop FanCurveEngine::StopCurve(int gpu, Run& run, FanCurveStopReason reason, TuningReport writes) {
    FanCurveStop stop{gpu, reason, std::move(writes)};
    stop.writes.Add(gpu, CardTuning(table_, gpu).HandBackPinnedFans());
    state_.fanCurves[static_cast<size_t>(gpu)].reset();
    run = Run{};
    return stop;
}

void FanCurveEngine::Restart() {
    for (Run& run : runs_) run = Run{};
}

TuningReport FanCurveEngine::End() {
    TuningReport report;
    for (int gpu = 0; gpu < GpuCount(table_); ++gpu)
        if (state_.fanCurves[static_cast<size_t>(gpu)])
            report.Add(gpu, CardTuning(table_, gpu).HandBackPinnedFans());
    return report;
}

std::string DescribeCurveStop(const FanCurveStop& stop) {
    std::vector<TuningWriteResult> refused = stop.writes.Refusals();
    const auto inWords = [](const TuningWriteResult& write) {
        std::string text = DescribeWrite(write);
        text += ", ";
        text += StatusInWords(write.status);
        return text;
    };
    // A refused level comes first in the report; what follows it is the hand-back's.
    std::string levelRefused;
    if (stop.reason == FanCurveStopReason::Refused && !refused.empty()) {
        levelRefused = inWords(refused.front());
        refused.erase(refused.begin());
    }
    std::string handBack;
    for (const TuningWriteResult& write : refused) {
        if (!handBack.empty()) handBack += "; ";
        handBack += inWords(write);
    }
    const std::string outcome =
        handBack.empty() ? std::string(CoreTexts::Text(kFanBackText)) : CoreTexts::Format(kFanNotBackText, {handBack});
    const std::string gpu = std::to_string(stop.gpu);
    if (stop.reason == FanCurveStopReason::Refused) return CoreTexts::Format(kCurveRefusedText, {gpu, levelRefused, outcome});
    return CoreTexts::Format(kCurveTemperatureLostText,
                             {gpu, std::to_string(kTemperatureReadsBeforeHandBack), outcome});
}

}  // namespace pyx
