// The breathing sync across five cards on a bus modelled at 100 kHz: how far each step's
// period strays from its 21 ms, and how long one breath takes against its 65 x 21 ms.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <mutex>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>

#include "gpu/GpuBoardTable.h"
#include "gpu/NvApiLibrary.h"
#include "led/LedEffectEngine.h"
#include "led/SteadyLedPacer.h"
#include "sim/SimLedZoneController.h"
#include "sim/SimLibrarySource.h"
#include "sim/SimScenario.h"

namespace pyx {
namespace {

using Clock = std::chrono::steady_clock;

// Stands at 0x58 of the first card in front of the zone model and notes when each frame lands.
class FrameClock : public sim::SimI2cDevice {
public:
    bool Read(uint8_t reg, uint8_t* data, size_t length) override { return zone_.Read(reg, data, length); }
    bool Write(uint8_t reg, const uint8_t* data, size_t length) override {
        {
            std::lock_guard lock(mutex_);
            times_.push_back(Clock::now());
        }
        return zone_.Write(reg, data, length);
    }
    std::string ModelName() const override { return "frame-clock"; }
    std::vector<Clock::time_point> Times() {
        std::lock_guard lock(mutex_);
        return times_;
    }

private:
    sim::SimLedZoneController zone_;
    std::mutex mutex_;
    std::vector<Clock::time_point> times_;
};

void BreathingSyncTiming(benchmark::State& state) {
    const int32_t kind = static_cast<int32_t>(state.range(0));
    const int breaths = 3;
    const auto stepNominal = std::chrono::milliseconds(21);
    std::vector<double> errorsMs;
    std::vector<double> breathMs;
    for (auto _ : state) {
        std::string error;
        // Five cards of five zones each on buses modelled at 100 kHz (nine bit times a byte).
        auto library = sim::SimScenario::FromFile(std::string(PYX_SIM_SCENARIO_DIR) + "/five-zone-cards-100khz.json", error);
        if (!library) {
            state.SkipWithError(error.c_str());
            return;
        }
        auto clock = std::make_unique<FrameClock>();
        FrameClock* frames = clock.get();
        library->Card(0).bus.Attach(kind == kSyncZone58 ? 0x58 : 0x46, std::move(clock));
        NvApiLibrary nv(std::make_unique<sim::SimLibrarySource>(std::move(library)));
        (void)nv.Initialize();
        GpuBoardTable table(nv);
        (void)table.EnumerateBoards();
        SteadyLedPacer pacer;
        LedEffectEngine engine(table, pacer);
        engine.StartBreathingSync(kind, 3, 5);
        while (frames->Times().size() < static_cast<size_t>(breaths * 65 + 1))
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        engine.Shutdown();

        const auto times = frames->Times();
        for (size_t i = 1; i <= static_cast<size_t>(breaths * 65); ++i) {
            const std::chrono::duration<double, std::milli> step = times[i] - times[i - 1];
            errorsMs.push_back(std::abs(step.count() - stepNominal.count()));
        }
        for (int b = 0; b < breaths; ++b) {
            const std::chrono::duration<double, std::milli> breath =
                times[static_cast<size_t>((b + 1) * 65)] - times[static_cast<size_t>(b * 65)];
            breathMs.push_back(breath.count());
        }
    }
    std::sort(errorsMs.begin(), errorsMs.end());
    const double mean = std::accumulate(errorsMs.begin(), errorsMs.end(), 0.0) / static_cast<double>(errorsMs.size());
    const double p99 = errorsMs[static_cast<size_t>(0.99 * static_cast<double>(errorsMs.size() - 1))];
    const double breath = std::accumulate(breathMs.begin(), breathMs.end(), 0.0) / static_cast<double>(breathMs.size());
    state.counters["step_error_mean_ms"] = mean;
    state.counters["step_error_p99_ms"] = p99;
    state.counters["step_error_max_ms"] = errorsMs.back();
    state.counters["breath_ms"] = breath;
    state.counters["breath_spec_ms"] = 65.0 * 21.0;
}

// Kind 1: one zone per card (5 frames a step); kind 5: four zones per card (20 frames a step).
BENCHMARK(BreathingSyncTiming)->Arg(kSyncZone58)->Arg(kSyncZoneGroup)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace pyx
