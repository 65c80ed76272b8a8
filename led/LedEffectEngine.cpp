#include "led/LedEffectEngine.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "led/BasicEffectThread.h"
#include "led/BreathingSyncThread.h"
#include "led/LedControllerFactory.h"
#include "led/LedBoardState.h"

namespace pyx {

LedEffectEngine::LedEffectEngine(GpuBoardTable& table, LedPacer& pacer) : table_(table), pacer_(pacer) {}

LedEffectEngine::~LedEffectEngine() { Shutdown(); }

void LedEffectEngine::SetLedKind(int gpu, LedKind ledKind) {
    if (gpu >= 0 && gpu < kMaxGpus) ledKinds_[static_cast<size_t>(gpu)].store(ledKind);
}

LedKind LedEffectEngine::BasicClassFor(int gpu) const {
    const LedKind own = gpu >= 0 && gpu < kMaxGpus ? ledKinds_[static_cast<size_t>(gpu)].load() : LedKind::None;
    return BasicControllerClass(own, ledControllerKind_.load());
}

void LedEffectEngine::SetGpuLoad(int percent) {
    if (percent < 1) percent = 1;
    if (percent > 100) percent = 100;
    basicArgs_.load.store(percent);
}

bool LedEffectEngine::RunActive(const LedEffectLaunch& launch) const {
    const auto index = static_cast<size_t>(launch.family);
    if (!flags_[index].load() || runs_[index].load() != launch.run) return false;
    if (launch.loadRun != 0 && launch.gpu >= 0 && launch.gpu < kMaxGpus)
        return loadRuns_[static_cast<size_t>(launch.gpu)].load() == launch.loadRun;
    return true;
}

void LedEffectEngine::ClaimLoadRun(LedEffectLaunch& launch) {
    if (launch.family != LedEffectFamily::Basic || launch.code != kBasicCodeLoad) return;
    if (launch.gpu < 0 || launch.gpu >= kMaxGpus) return;
    launch.loadRun = ++loadRuns_[static_cast<size_t>(launch.gpu)];
}

std::vector<int> LedEffectEngine::BasicTargets(int32_t launchGpu) const {
    std::vector<int> gpus;
    const int32_t syncCount = basicArgs_.syncCount.load();
    if (syncCount >= 2) {
        for (int gpu = 0; gpu < syncCount; ++gpu) gpus.push_back(gpu);
    } else {
        gpus.push_back(launchGpu);
    }
    return gpus;
}

void LedEffectEngine::WriteBasicFrame(int32_t launchGpu, LedColour colour) {
    for (const int gpu : BasicTargets(launchGpu)) WriteBasicFrameTo(gpu, colour);
}

void LedEffectEngine::WriteBasicFrameTo(int gpu, LedColour colour) {
    const LedKind basicClass = BasicClassFor(gpu);
    if (!IsBasicKind(basicClass)) return;  // nothing is written
    RecordFrame(gpu, MakeFoundController(table_, gpu, basicClass)->WriteFrame({colour, sessionEnding_.load()}));
}

void LedEffectEngine::RecordFrame(int gpu, const LedWriteResult& result) {
    if (gpu < 0 || gpu >= kMaxGpus) return;
    std::lock_guard lock(tallyMutex_);
    LedFrameTally& tally = tallies_[static_cast<size_t>(gpu)];
    ++tally.frames;
    if (result.Clean()) return;
    if (tally.refused++ == 0) tally.firstRefused = result;
}

LedFrameTally LedEffectEngine::FrameTally(int gpu) const {
    if (gpu < 0 || gpu >= kMaxGpus) return {};
    std::lock_guard lock(tallyMutex_);
    return tallies_[static_cast<size_t>(gpu)];
}

LedEffectLaunch LedEffectEngine::Snapshot(LedEffectFamily family) {
    LedEffectLaunch launch;
    launch.family = family;
    launch.run = Run(family).load();
    if (family == LedEffectFamily::Basic) {
        launch.code = basicArgs_.code.load();
        launch.gpu = basicArgs_.gpu.load();
        return launch;
    }
    // One sync block serves both families; a thread of one family never runs the other's kind.
    const int32_t kind = syncArgs_.kind.load();
    const bool effectKind = kind == kSyncEffect;
    if (effectKind == (family == LedEffectFamily::EffectSync)) {
        launch.code = kind;
    } else {
        launch.code = family == LedEffectFamily::EffectSync ? kSyncEffect : kSyncZone58;
    }
    launch.mode = syncArgs_.mode.load();
    return launch;
}

void LedEffectEngine::ReapFinishedLocked() {
    for (auto it = workers_.begin(); it != workers_.end();) {
        if (it->finished->load()) {
            it->thread.join();
            it = workers_.erase(it);
        } else {
            ++it;
        }
    }
}

void LedEffectEngine::Launch(const LedEffectLaunch& launch) {
    std::lock_guard lock(workersMutex_);
    if (shutDown_) return;
    ReapFinishedLocked();
    auto finished = std::make_shared<std::atomic<bool>>(false);
    std::thread thread([this, launch, finished] {
        if (launch.family == LedEffectFamily::Basic) {
            (void)BasicEffectThread(*this, launch);
        } else {
            (void)BreathingSyncThread(*this, launch);
        }
        finished->store(true);
    });
    workers_.push_back({std::move(thread), std::move(finished), launch.family});
}

void LedEffectEngine::EndRunAndLaunchStopper(LedEffectFamily family) {
    Flag(family).store(false);
    ++Run(family);
    // The stopper belongs to a run that is over before it starts: it ends at its first check
    // even if the flag is set again before it gets there.
    const LedEffectLaunch stopper = Snapshot(family);
    ++Run(family);
    Launch(stopper);
}

void LedEffectEngine::StartEffect(LedEffectFamily family, std::optional<Duration> restartPause) {
    if (restartPause && Flag(family).load()) {
        EndRunAndLaunchStopper(family);
        pacer_.SleepFor(*restartPause);
    }
    Flag(family).store(true);
    LedEffectLaunch launch = Snapshot(family);
    ClaimLoadRun(launch);
    Launch(launch);
}

int LedEffectEngine::RunOnThisThread(LedEffectFamily family) {
    Flag(family).store(true);
    LedEffectLaunch launch = Snapshot(family);
    ClaimLoadRun(launch);
    return family == LedEffectFamily::Basic ? BasicEffectThread(*this, launch) : BreathingSyncThread(*this, launch);
}

void LedEffectEngine::StopEffect(LedEffectFamily family) { EndRunAndLaunchStopper(family); }

bool LedEffectEngine::StopEffectAndWait(LedEffectFamily family, Duration limit) {
    EndRunAndLaunchStopper(family);
    const auto alive = [this, family] {
        std::lock_guard lock(workersMutex_);
        ReapFinishedLocked();
        return std::any_of(workers_.begin(), workers_.end(), [family](const Worker& w) { return w.family == family; });
    };
    // A frame's thread looks at its flag between frames: at most one frame's wait.
    for (const auto until = std::chrono::steady_clock::now() + limit; alive();) {
        if (std::chrono::steady_clock::now() >= until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

void LedEffectEngine::StartBreathingSync(int32_t kind, int32_t mode, int32_t count) {
    syncArgs_.kind.store(kind);
    syncArgs_.mode.store(mode);
    syncArgs_.count.store(count);
    const bool effect = kind == kSyncEffect;
    (effect ? syncArgs_.effectMode : syncArgs_.zoneMode).store(mode);
    StartEffect(effect ? LedEffectFamily::EffectSync : LedEffectFamily::ZoneSync, Duration(100));
}

void LedEffectEngine::SessionEnd() {
    basicArgs_.SetColour(kLedBlack);
    basicArgs_.code.store(kBasicCodeStatic);
    basicArgs_.mode.store(0);
    // Every GPU of the machine goes dark, not only the one the last effect was started for.
    if (basicArgs_.syncCount.load() < 2) {
        if (table_.gpuCount >= 2) {
            basicArgs_.syncCount.store(table_.gpuCount);
        } else {
            basicArgs_.gpu.store(0);
        }
    }
    sessionEnding_.store(true);
    StartEffect(LedEffectFamily::Basic, Duration(100));
}

void LedEffectEngine::Shutdown() {
    std::vector<Worker> workers;
    {
        std::lock_guard lock(workersMutex_);
        shutDown_ = true;
        for (size_t i = 0; i < flags_.size(); ++i) {
            flags_[i].store(false);
            ++runs_[i];
        }
        workers.swap(workers_);
    }
    pacer_.Interrupt();
    for (Worker& worker : workers) worker.thread.join();
}

size_t LedEffectEngine::LiveThreadCount() {
    std::lock_guard lock(workersMutex_);
    ReapFinishedLocked();
    return workers_.size();
}

}  // namespace pyx
