// What the history costs its owner: one sample of two GPUs (what each second's tick reads), and
// the whole tick of a core that keeps the history and nothing else.
#include <chrono>

#include <benchmark/benchmark.h>

#include "app/HistorySample.h"
#include "service/core/ServiceCore.h"
#include "tests/support/ScenarioJson.h"
#include "tests/support/SimWorld.h"

namespace {

class Everyone final : public pyx::AccessPolicy {
public:
    pyx::AccessDecision Decide(const pyx::PeerCredentials&, pyx::AccessClass) const override { return {true, {}, {}}; }
};

pyx::test::SimWorld::Options Untraced() {
    pyx::test::SimWorld::Options options;
    options.traced = false;
    return options;
}

void SampleTwoGpus(benchmark::State& state) {
    pyx::test::SimWorld world(pyx::test::CardsJson(2), Untraced());
    int64_t timeMs = 1714564800000;
    for (auto _ : state)
        for (int gpu = 0; gpu < 2; ++gpu) benchmark::DoNotOptimize(pyx::ReadSample(*world.table, gpu, timeMs += 500));
}
BENCHMARK(SampleTwoGpus)->Unit(benchmark::kMicrosecond);

void HistoryTickTwoGpus(benchmark::State& state) {
    pyx::test::SimWorld world(pyx::test::CardsJson(2), Untraced());
    const Everyone policy;
    pyx::ServiceCore core(*world.nv, *world.table, policy, {"bench", "Back-end: sim"});
    core.KeepHistory();
    auto steady = pyx::PendingChange::Clock::now();
    auto wall = std::chrono::system_clock::now();
    for (auto _ : state) {
        steady += std::chrono::seconds(1);
        wall += std::chrono::seconds(1);
        benchmark::DoNotOptimize(core.Tick(steady, wall));
    }
    state.counters["history_bytes"] = static_cast<double>(core.History()->MemoryBytes());
}
BENCHMARK(HistoryTickTwoGpus)->Unit(benchmark::kMicrosecond);

}  // namespace
