// The layer's own cost per bus transaction: one lighting-register write through the bus
// mutex, the library layer and the simulator, with no modelled bus time.
#include <benchmark/benchmark.h>

#include "gpu/GpuBoardTable.h"
#include "gpu/I2cBus.h"
#include "gpu/NvApiLibrary.h"
#include "sim/SimLibrarySource.h"
#include "sim/SimScenario.h"

namespace {

void BM_I2cWriteThroughLayer(benchmark::State& state) {
    std::string error;
    auto library = pyx::sim::SimScenario::FromText(
        R"({"cards": [{"deviceId": "0x1B8110DE", "subSystemId": 0, "i2c": [{"address": "0x58"}]}]})", "bench", error);
    auto* sim = library.get();
    pyx::NvApiLibrary nv(std::make_unique<pyx::sim::SimLibrarySource>(std::move(library)));
    (void)nv.Initialize();
    pyx::GpuBoardTable table(nv);
    (void)table.EnumerateBoards();
    uint8_t reg = 0x02;
    uint8_t colour[3] = {0xFF, 0x20, 0x00};
    int64_t n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(pyx::WriteLedRegister(table, 0, 0x58, &reg, colour, 3));
        if (++n % 2048 == 0) sim->Card(0).bus.ClearLog();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_I2cWriteThroughLayer);

}  // namespace
