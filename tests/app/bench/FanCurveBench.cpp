// What a running fan curve costs its owner: one tick over two simulated GPUs, the temperature
// read and (when the level changes) the write included. The owner ticks once a second, so the
// share of a core is this time over one second.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

#include "app/AppState.h"
#include "app/FanCurveEngine.h"
#include "app/GpuBackend.h"
#include "gpu/GpuBoardTable.h"
#include "gpu/NvApiLibrary.h"

namespace {

using pyx::FanCurveEngine;

struct TwoCards {
    TwoCards() {
        pyx::GpuBackendChoice choice = pyx::ChooseGpuBackend("sim", PYX_SIM_SCENARIO_DIR "/two-cards.json");
        library = std::make_unique<pyx::NvApiLibrary>(std::move(choice.source));
        table = std::make_unique<pyx::GpuBoardTable>(*library);
        enumerated = table->EnumerateBoards() == pyx::kNvOk && table->gpuCount == 2;
    }
    std::unique_ptr<pyx::NvApiLibrary> library;
    std::unique_ptr<pyx::GpuBoardTable> table;
    bool enumerated = false;
};

// arg 0: the temperature holds (a read per GPU and tick, nothing written); 1: every tick crosses
// into a new level on both GPUs (a read and a write each).
void CurveTick(benchmark::State& state) {
    TwoCards cards;
    if (!cards.enumerated) {
        state.SkipWithError("the simulated cards did not come up");
        return;
    }
    pyx::AppState appState;
    appState.fanCurves[0] = pyx::FanCurve::Default();
    appState.fanCurves[1] = pyx::FanCurve::Default();
    FanCurveEngine engine(*cards.table, appState);
    auto now = FanCurveEngine::Clock::now();
    const bool changing = state.range(0) == 1;
    for (auto _ : state) {
        // A new curve each tick starts afresh and sends its level: the write's cost is measured.
        if (changing) appState.fanCurves[0]->points.front().level ^= 1;
        if (changing) appState.fanCurves[1]->points.front().level ^= 1;
        benchmark::DoNotOptimize(engine.Tick(now));
        now += std::chrono::seconds(1);
    }
    if (!engine.Running()) state.SkipWithError("a curve stopped");
    else if (!engine.Live(0)->temperatureC || !engine.Live(1)->temperatureC) state.SkipWithError("no temperature was read");
}
BENCHMARK(CurveTick)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
