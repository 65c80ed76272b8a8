// What filling in the Linux driver's gaps costs per call, on the fakes: the same reads and
// bus writes through the plain simulated library, through the filled-in source when NvAPI
// answers, when NVML answers (the tests' stand-in library) and when the kernel's I2C
// adapters carry the transaction (a transport over the simulated register files).
#ifndef _WIN32
#include <benchmark/benchmark.h>

#include <cstring>

#include "gpu/GpuBoardTable.h"
#include "gpu/I2cBus.h"
#include "gpu/NvApiLibrary.h"
#include "sim/SimLibrarySource.h"
#include "sim/SimScenario.h"
#include "tests/support/linux/DriverFillRig.h"

namespace {

constexpr char kCard[] = R"({"cards": [{"deviceId": "0x1B8110DE", "subSystemId": 0, "i2c": [{"address": "0x58"}],
    "tuning": {"thermal": {"policies": [{"id": 1, "minC": 65, "defaultC": 83, "maxC": 92}]}}}]})";

enum class Answerer { Simulator, FilledNvApi, FilledNvml };

struct Bench {
    explicit Bench(Answerer answerer) {
        std::string error;
        auto library = pyx::sim::SimScenario::FromText(kCard, "bench", error);
        sim = library.get();
        std::unique_ptr<pyx::LibrarySource> source;
        if (answerer == Answerer::Simulator) {
            source = std::make_unique<pyx::sim::SimLibrarySource>(std::move(library));
        } else {
            rig.InstallNvml();
            rig.MirrorIntoNvml(*sim);
            source = rig.Wrap(std::move(library), answerer == Answerer::FilledNvml ? pyx::test::NvmlFallbackOps()
                                                                                  : std::vector<pyx::NvOp>{});
        }
        nv = std::make_unique<pyx::NvApiLibrary>(std::move(source));
        (void)nv->Initialize();
        table = std::make_unique<pyx::GpuBoardTable>(*nv);
        (void)table->EnumerateBoards();
    }
    pyx::test::DriverFillRig rig;
    pyx::sim::SimLibrary* sim = nullptr;
    std::unique_ptr<pyx::NvApiLibrary> nv;
    std::unique_ptr<pyx::GpuBoardTable> table;
};

void ReadPower(benchmark::State& state, Answerer answerer) {
    Bench b(answerer);
    pyx::NvPowerPoliciesStatus record;
    for (auto _ : state) {
        std::memset(&record, 0, sizeof record);
        record.version = pyx::kPowerPoliciesStatusTag;
        benchmark::DoNotOptimize(b.nv->PowerPoliciesGetStatus(b.table->Board(0).gpuHandle, &record));
    }
}
BENCHMARK_CAPTURE(ReadPower, Simulator, Answerer::Simulator);
BENCHMARK_CAPTURE(ReadPower, FilledNvApiAnswers, Answerer::FilledNvApi);
BENCHMARK_CAPTURE(ReadPower, FilledNvmlAnswers, Answerer::FilledNvml);

void WriteLed(benchmark::State& state, Answerer answerer) {
    Bench b(answerer);
    uint8_t reg = 0x02;
    uint8_t colour[3] = {0xFF, 0x20, 0x00};
    int64_t n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(pyx::WriteLedRegister(*b.table, 0, 0x58, &reg, colour, 3));
        if (++n % 2048 == 0) b.sim->Card(0).bus.ClearLog();
    }
}
BENCHMARK_CAPTURE(WriteLed, SimulatorI2cIds, Answerer::Simulator);
BENCHMARK_CAPTURE(WriteLed, KernelI2cAdapters, Answerer::FilledNvApi);

}  // namespace
#endif
