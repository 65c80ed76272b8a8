// The tuning scenarios run twice, once with the simulated library answering everything and
// once with the Linux driver's gaps filled in (every tuning id refused by the library and
// answered by NVML, every bus transaction through the kernel's I2C adapters): what reaches
// the cards (the trace), what the program reads back and what it saves must not differ.
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/AppState.h"
#include "app/CIniText.h"
#include "app/LibraryDoctor.h"
#include "app/MonitorReadouts.h"
#include "app/TuningController.h"
#include "app/TuningRanges.h"
#include "app/TuningSettingsStore.h"
#include "gpu/GpuBoardTable.h"
#include "gpu/NvApiLibrary.h"
#include "gpu/Trace.h"
#include "sim/SimLibrarySource.h"
#include "sim/SimScenario.h"
#include "tests/app/CIniTestFiles.h"
#include "tests/support/SimWorld.h"
#include "tests/support/linux/DriverFillRig.h"

namespace pyx::test {
namespace {

using Lines = std::vector<std::string>;

// Cards whose every value NVML can carry: whole-MHz offsets, whole-degree limits on the
// acoustic policy alone. One has a library fan held by hand and a lighting controller, the
// other fan coolers only.
constexpr char kScenario[] = R"({"cards": [
  {"deviceId": "0x1B8110DE", "subSystemId": "0xA0141B4C",
   "clocks": {"current": {"graphics": 1733000, "memory": 4006000},
              "base": {"graphics": 1506000, "memory": 4006000},
              "boost": {"graphics": 1820000, "memory": 4006000}},
   "temperatureC": 52, "utilization": 37,
   "i2c": [{"address": 88, "model": "led-zone"}],
   "tuning": {
     "graphicsDelta": {"deltaKHz": 120000, "minKHz": -200000, "maxKHz": 200000},
     "memoryDelta": {"deltaKHz": 350000, "minKHz": -500000, "maxKHz": 1000000},
     "power": {"minPcm": 50000, "defaultPcm": 100000, "maxPcm": 116500, "currentPcm": 112500},
     "thermal": {"policies": [{"id": 1, "minC": 65, "defaultC": 83, "maxC": 92}]},
     "coolers": [{"type": 1, "min": 0, "max": 100, "level": 65, "manual": true}],
     "clockDomains": [], "vfPoints": []}},
  {"deviceId": "0x268410DE", "subSystemId": "0x00000000",
   "clocks": {"current": {"graphics": 2520000, "memory": 10501000},
              "boost": {"graphics": 2520000, "memory": 10501000}},
   "tuning": {
     "graphicsDelta": {"deltaKHz": -150000},
     "power": {"currentPcm": 95000},
     "thermal": {"policies": [{"id": 1, "minC": 60, "defaultC": 84, "maxC": 90}]},
     "coolers": [],
     "fanCoolers": [{"id": 1, "level": 70}, {"id": 2, "level": 70}]}}
]})";

enum class Path { Simulated, Filled };

// The filled-in path's rig comes first, so the world's library can be put over it.
struct FillHolder {
    std::unique_ptr<DriverFillRig> fill;
    FilledNvApiSource* filledSource = nullptr;
};

class PathRig : public FillHolder, public SimWorld {
public:
    explicit PathRig(Path path) : SimWorld(kScenario, {.wrap = Filler(path, *this)}) {
        // What discovery concludes for these two cards.
        for (int gpu = 0; gpu < table->gpuCount; ++gpu) {
            GpuBoard& board = table->Board(gpu);
            uint32_t device = 0, sub = 0;
            EXPECT_EQ(table->ReadPciIdentifiers(gpu, &device, &sub), kNvOk);
            board.hasBoostClock = 1;
            board.fanRangeMin = 0;
            board.fanRangeMax = 100;
            if (gpu == 1) {
                board.family = BoardFamily::D;
                board.hasFanCoolersApi = 1;
                board.fan.Select(FanPath::FanCoolers);
            }
        }
    }

private:
    static Wrapper Filler(Path path, FillHolder& holder) {
        if (path != Path::Filled) return {};
        return [&holder](std::unique_ptr<sim::SimLibrary> library) -> std::unique_ptr<LibrarySource> {
            holder.fill = std::make_unique<DriverFillRig>();
            holder.fill->InstallNvml();
            holder.fill->MirrorIntoNvml(*library);
            holder.fill->KeepSimulatorInStep(*library);
            auto filled = holder.fill->Wrap(std::move(library), NvmlFallbackOps());
            holder.filledSource = filled.get();
            return filled;
        };
    }
};

// What the program shows of a card: its ranges and positions, and its readouts.
std::string Shown(GpuBoardTable& table, int gpu) {
    TuningPage page;
    page.selectedGpu = gpu;
    ReadSliderRanges(table, gpu, page);
    const MonitorReadings r = ReadMonitors(table, gpu);
    std::string text;
    for (const auto* s : {&page.gpuClock, &page.memClock, &page.power, &page.fan, &page.gpuVf, &page.memVf})
        text += std::to_string(s->min) + ".." + std::to_string(s->max) + "@" + std::to_string(s->pos) + " ";
    return text + "readout " + r.graphicsText + "/" + r.memoryText + "/" + r.temperatureText + "/" + r.fanText;
}

struct Run {
    Lines trace;
    std::string shownAfter[2];
    std::string outcome;
};

// One action on each path, from the same start.
template <typename Action>
void ExpectSameOnBothPaths(const std::string& what, Action&& action) {
    Run runs[2];
    for (const Path path : {Path::Simulated, Path::Filled}) {
        PathRig rig(path);
        rig.ClearTrace();
        Run& run = runs[path == Path::Filled];
        run.outcome = action(rig);
        run.trace = rig.Trace();
        for (int gpu = 0; gpu < 2; ++gpu) run.shownAfter[gpu] = Shown(*rig.table, gpu);
        if (path == Path::Filled) {
            // Every tuning id went to NVML, every transaction to the kernel's adapters.
            for (const NvOp op : {NvOp::SetPstates20, NvOp::PowerPoliciesSetStatus})
                if (rig.filledSource->RouteOf(op) != FilledNvApiSource::Route::Undecided) {
                    EXPECT_EQ(rig.filledSource->RouteOf(op), FilledNvApiSource::Route::Nvml) << what;
                }
        }
    }
    EXPECT_FALSE(runs[0].trace.empty()) << what << ": the action reached no card";
    EXPECT_EQ(runs[1].trace, runs[0].trace) << what;
    EXPECT_EQ(runs[1].outcome, runs[0].outcome) << what;
    for (int gpu = 0; gpu < 2; ++gpu) EXPECT_EQ(runs[1].shownAfter[gpu], runs[0].shownAfter[gpu]) << what << " GPU " << gpu;
}

TEST(FilledPathScenario, EveryTuningModeOnEachCardReachesTheCardsAlike) {
    const std::pair<int, const char*> modes[] = {{kTuningModeExtreme, "Extreme"},
                                                 {kTuningModePerformance, "Performance"},
                                                 {kTuningModeCommon, "Common"},
                                                 {kTuningModeCustom, "Custom"}};
    for (const auto& [mode, name] : modes)
        for (const bool linked : {false, true})
            ExpectSameOnBothPaths(std::string(name) + (linked ? " on both cards" : " on GPU 0"), [&](PathRig& rig) {
                AppState state;
                TuningCallbacks callbacks;
                callbacks.confirmWarning = [](const std::string&, const std::string&) { return true; };
                std::string result;
                callbacks.showResult = [&](const std::string& text, const std::string&) { result += text; };
                TuningController controller(*rig.table, state, callbacks);
                TuningPage page;
                page.selectedGpu = 0;
                page.linkAllGpus = linked;
                ReadSliderRanges(*rig.table, 0, page);
                page.tuningMode = mode;
                if (mode == kTuningModeCustom) {
                    page.gpuClock.SetClamped(75);
                    page.memClock.SetClamped(-120);
                    page.power.SetClamped(105);
                    page.fan.SetClamped(55);
                }
                rig.ClearTrace();
                const ApplyOutcome outcome = controller.ApplyMode(page);
                return std::to_string(static_cast<int>(outcome)) + " " + result + " mode " +
                       std::to_string(state.gpuMode);
            });
}

TEST(FilledPathScenario, SettingsAreSavedAndPutBackAlike) {
    CIniTestFolder folder;
    const auto file = folder.Path() / "Preformance.txt";
    std::string saved[2];
    for (const Path path : {Path::Simulated, Path::Filled}) {
        PathRig rig(path);
        AppState state;
        state.gpuMode = 3;
        saved[path == Path::Filled] = CIniText::ToUtf8(ComposeTuningSettings(*rig.table, state).Text());
    }
    EXPECT_EQ(saved[1], saved[0]) << "the file written from what the cards report";

    // A stored file loaded onto the cards: the same writes, then the same file saved again.
    {
        PathRig rig(Path::Simulated);
        AppState state;
        state.gpuMode = 3;
        std::string text = CIniText::ToUtf8(ComposeTuningSettings(*rig.table, state).Text());
        for (const auto& [from, to] : {std::pair<std::string, std::string>{"DyaGpuClock=120", "DyaGpuClock=40"},
                                       {"DyaMemClock=350", "DyaMemClock=-100"},
                                       {"PowerTarget=112", "PowerTarget=98"}, {"FanSpeed=65", "FanSpeed=40"}}) {
            const auto at = text.find(from);
            ASSERT_NE(at, std::string::npos) << from << " in\n" << text;
            text.replace(at, from.size(), to);
        }
        std::ofstream out(file, std::ios::binary);
        for (const char16_t unit : CIniText::FromUtf8(text)) {
            out.put(static_cast<char>(unit & 0xFF));
            out.put(static_cast<char>(unit >> 8));
        }
    }
    ExpectSameOnBothPaths("settings load", [&](PathRig& rig) {
        AppState state;
        const int32_t matched = LoadTuningSettings(file, *rig.table, state);
        return std::to_string(matched) + " then " + CIniText::ToUtf8(ComposeTuningSettings(*rig.table, state).Text());
    });
}

TEST(FilledPathScenario, TheDoctorNamesWhoAnswersAndChangesNothing) {
    PathRig rig(Path::Filled);
    rig.ClearTrace();
    const auto changesBefore = rig.fill->NvmlDevice(0)->changes;
    const DoctorReport report = RunDoctor(*rig.nv, 5);
    EXPECT_TRUE(rig.Trace().empty()) << "the doctor wrote to a card";
    EXPECT_EQ(rig.fill->NvmlDevice(0)->changes, changesBefore);
    EXPECT_EQ(rig.fill->Transport()->transactions.load(), 0) << "the doctor sent a bus transaction";
    ASSERT_EQ(report.gpus.size(), 2u);
    ASSERT_EQ(report.libraries.size(), 2u);
    EXPECT_EQ(report.libraries[1].state, LibraryState::Ready);
    const auto find = [&](int gpu, const std::string& name) {
        for (const IdReport& id : report.gpus[static_cast<size_t>(gpu)].ids)
            if (id.name == name) return id;
        ADD_FAILURE() << name << " not reported";
        return IdReport{};
    };
    const IdReport pstates = find(0, "GetPstates20");
    EXPECT_EQ(pstates.answeredBy, "NVML");
    EXPECT_EQ(pstates.how, "answered");
    EXPECT_TRUE(pstates.called);
    EXPECT_EQ(find(0, "GetAllClockFrequencies").answeredBy, "NvAPI");
    const IdReport setPstates = find(0, "SetPstates20");
    EXPECT_FALSE(setPstates.called);
    EXPECT_EQ(setPstates.answeredBy, "NvAPI, NVML where NvAPI says not supported");
    const IdReport i2c = find(1, "I2CRead");
    EXPECT_EQ(i2c.answeredBy, "kernel I2C");
    EXPECT_EQ(i2c.how, "adapters ready; not sent (a bus transaction addresses a chip)");
    ASSERT_TRUE(report.gpus[1].links);
    EXPECT_EQ(report.gpus[1].links->pciAddress, "0000:02:00.0");
    EXPECT_GT(report.gpus[0].tickMedianMicroseconds, 0.0);

    // A user without the rights to the kernel's devices is told what to do.
    rig.fill->Transport()->problem = "no permission to open /dev/i2c-10: run as root, or add a udev rule";
    const DoctorReport again = RunDoctor(*rig.nv, 1);
    for (const IdReport& id : again.gpus[0].ids)
        if (id.name == "I2CWrite") {
            EXPECT_EQ(id.how, rig.fill->Transport()->problem);
        }
}

}  // namespace
}  // namespace pyx::test
