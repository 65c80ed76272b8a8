#include "led/LightingReset.h"

#include <chrono>
#include <vector>

#include "led/BasicClass1Controller.h"
#include "led/LedProbe.h"
#include "led/LedReset.h"

namespace pyx {

LightingReset::Outcome LightingReset::Controllers(LedEffectEngine& engine, const LedPageState& page,
                                                  const std::array<LedKind, kMaxGpus>& kinds, LedSettings& saved,
                                                  const std::function<void(bool zone)>& defaultModeTaken) {
    GpuBoardTable& table = engine.Table();
    const bool zoneSyncRan = engine.Running(LedEffectFamily::ZoneSync);
    for (const LedEffectFamily family : {LedEffectFamily::ZoneSync, LedEffectFamily::EffectSync})
        if (engine.Running(family)) (void)engine.StopEffectAndWait(family, std::chrono::milliseconds(500));
    Outcome outcome;
    for (int gpu = 0; gpu < table.gpuCount && gpu < kMaxGpus; ++gpu) {
        const LedBoardState& board = page.boards[static_cast<size_t>(gpu)];
        const LedKind probed = kinds[static_cast<size_t>(gpu)];
        std::vector<LedKind> resetKinds = {probed};
        const bool zoneKind = probed == LedKind::Zone46 || probed == LedKind::Zone58;
        if (zoneSyncRan && !zoneKind &&
            (board.TargetAvailable(LedTarget::Zone58) || board.TargetAvailable(LedTarget::Zone46)))
            resetKinds.push_back(board.TargetAvailable(LedTarget::Zone58) ? LedKind::Zone58 : LedKind::Zone46);
        for (const LedKind kind : resetKinds) {
            const bool zone = kind == LedKind::Zone46 || kind == LedKind::Zone58;
            if (zone) {
                outcome.zoneReset = true;
                saved.red = 255;
                saved.green = 0;
                saved.blue = 0;
            }
            const LedResetResult reset = ResetLedController(table, gpu, kind, board, engine.Pacer(), [&] {
                if (defaultModeTaken) defaultModeTaken(zone);
                if (zone) saved.gm1Mode = static_cast<uint8_t>(kZoneResetMode);
            });
            if (kind == LedKind::EffectAC && reset.defaultModeTaken) saved.gm2Mode = static_cast<uint8_t>(kEffectResetMode);
            if (!reset.refused.Clean())
                outcome.refusals += "GPU " + std::to_string(gpu) + ": " + DescribeRefusedWrites(reset.refused) + "\n";
        }
    }
    return outcome;
}

LightingReset::Outcome LightingReset::AllGpus(LedEffectEngine& engine, LedSettings& saved) {
    GpuBoardTable& table = engine.Table();
    LedPageState page;
    std::array<LedKind, kMaxGpus> kinds{};
    std::optional<int> basicGpu;
    for (int gpu = 0; gpu < table.gpuCount && gpu < kMaxGpus; ++gpu) {
        LedBoardState& board = page.boards[static_cast<size_t>(gpu)];
        ProbeLedBoard(table, gpu, board);
        kinds[static_cast<size_t>(gpu)] = board.ledKind;
        engine.SetLedKind(gpu, board.ledKind);
        if (IsBasicKind(board.ledKind) && !basicGpu) basicGpu = gpu;
    }
    Outcome outcome = Controllers(engine, page, kinds, saved, nullptr);
    if (basicGpu) Basic(engine, *basicGpu, saved);
    outcome.basicGpu = basicGpu;
    return outcome;
}

void LightingReset::Basic(LedEffectEngine& engine, int selectedGpu, LedSettings& saved) {
    GpuBoardTable& table = engine.Table();
    const int count = table.gpuCount;
    const auto resetOne = [&](int gpu) {
        (void)BasicClass1Controller(table, gpu).Initialise();
        LedThreadArgs& args = engine.BasicArgs();
        args.gpu.store(gpu);
        args.code.store(1);
        args.syncCount.store(count >= 2 ? count : 0);
        args.mode.store(0);
        args.SetColour({255, 255, 255});
        engine.StartEffect(LedEffectFamily::Basic, std::chrono::milliseconds(100));
    };
    if (count >= 2) {
        for (int gpu = 0; gpu < count; ++gpu) resetOne(gpu);
    } else if (table.IsValidGpu(selectedGpu)) {
        resetOne(selectedGpu);
    }
    saved.red = saved.green = saved.blue = 255;
    saved.timer1 = saved.timer2 = saved.timer3 = 0;
    saved.ledMode = 0;
}

}  // namespace pyx
