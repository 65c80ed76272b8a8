#pragma once
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "gpu/GpuBoardTable.h"
#include "led/LedBoardState.h"
#include "led/LedColour.h"
#include "led/LedPacer.h"
#include "led/LedThreadArgs.h"
#include "led/LedWriteResult.h"

namespace pyx {

// The three families of effect threads, each with its running flag.
enum class LedEffectFamily { Basic = 0, ZoneSync = 1, EffectSync = 2 };

// What a started thread was launched with (copied when it is started, so the UI thread can
// rewrite the block for the next GPU at once).
struct LedEffectLaunch {
    LedEffectFamily family = LedEffectFamily::Basic;
    int32_t code = 0;  // basic: effect code; sync: kind
    int32_t gpu = 0;   // basic only
    int32_t mode = 0;  // sync: the mode at start
    uint64_t run = 0;  // the run this thread belongs to
    uint64_t loadRun = 0;  // the GPU load colour: which start for its GPU this thread is
};

// The frames the effect threads wrote to one GPU, and how many of them a controller refused
// (a frame counts as refused when any of its writes was).
struct LedFrameTally {
    uint64_t frames = 0;
    uint64_t refused = 0;
    LedWriteResult firstRefused;  // the writes refused in the first refused frame
};

// Everything the lighting threads share with the UI thread: the two parameter blocks, the
// running flags, the per-GPU controller kinds the frames need, and the threads themselves.
// Threads are started, stopped and restarted by the flags and the restart pauses; the
// engine also keeps their handles, so Shutdown (and the destructor) can end every one.
//
// Each stop also ends the current run: a thread belonging to an ended run returns at its
// next check even when the flag has been set again by a restart in the meantime, so a
// restart never leaves the old sequence running beside the new one.
//
// The GPU load colour is started without a restart, as a second thread beside the running
// one; each start for a GPU ends the load thread an earlier start left for that GPU, so
// repeated applies keep one load thread per GPU.
class LedEffectEngine {
public:
    using Duration = std::chrono::milliseconds;

    LedEffectEngine(GpuBoardTable& table, LedPacer& pacer);
    ~LedEffectEngine();
    LedEffectEngine(const LedEffectEngine&) = delete;
    LedEffectEngine& operator=(const LedEffectEngine&) = delete;

    GpuBoardTable& Table() { return table_; }
    LedPacer& Pacer() { return pacer_; }
    LedThreadArgs& BasicArgs() { return basicArgs_; }
    SyncThreadArgs& SyncArgs() { return syncArgs_; }

    // ---- what the frames read ----
    void SetLedKind(int gpu, LedKind ledKind);
    void SetLedControllerKind(LedKind kind) { ledControllerKind_.store(kind); }
    // The basic controller's class for a GPU: its kind, or the process-wide one when it has
    // none.
    LedKind BasicClassFor(int gpu) const;
    // The monitoring's GPU load, 0..100; 0 is kept as 1.
    void SetGpuLoad(int percent);
    bool SessionEnding() const { return sessionEnding_.load(); }

    // ---- flags and the start protocol ----
    bool Running(LedEffectFamily family) const { return Flag(family).load(); }
    // Starts a thread of the family. With a restart pause and the flag set: clear the flag,
    // start one thread (it ends at its first check), wait the pause, then set the flag and
    // start. Without a pause (or with the flag clear): set the flag and start.
    void StartEffect(LedEffectFamily family, std::optional<Duration> restartPause);
    // Clears the flag and starts one thread, which ends at once.
    void StopEffect(LedEffectFamily family);
    // Stops the family's effect and waits, at most limit, until none of its threads is left to
    // paint a frame over what the caller writes next. False when one still ran at the limit.
    bool StopEffectAndWait(LedEffectFamily family, Duration limit);
    // Fills the sync block (kind, mode, count, and the live mode of the kind's family) and
    // starts the sync thread with the 100 ms restart.
    void StartBreathingSync(int32_t kind, int32_t mode, int32_t count);
    // Windows is ending the session: the lights go black at level 0 on every GPU.
    void SessionEnd();
    // Sets the family's flag and runs one sequence from the block on the calling thread until
    // it ends (a foreground effect; the tests step sequences this way).
    int RunOnThisThread(LedEffectFamily family);
    // Ends every thread and waits for them; later starts do nothing.
    void Shutdown();
    // Threads started and not yet finished (tests).
    size_t LiveThreadCount();

    // ---- for the thread procedures ----
    // The family's flag is set and the thread's run has not been ended.
    bool RunActive(const LedEffectLaunch& launch) const;
    // One basic-controller frame to the block's targets: GPUs 0 .. syncCount - 1 when
    // syncCount is 2 or more, else launchGpu.
    void WriteBasicFrame(int32_t launchGpu, LedColour colour);
    // The GPUs a basic frame goes to.
    std::vector<int> BasicTargets(int32_t launchGpu) const;
    // One basic-controller frame to one GPU, by its class.
    void WriteBasicFrameTo(int gpu, LedColour colour);
    // Counts one frame written to a GPU with what its controllers refused.
    void RecordFrame(int gpu, const LedWriteResult& result);

    // ---- what the frames met ----
    LedFrameTally FrameTally(int gpu) const;

private:
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> finished;
        LedEffectFamily family = LedEffectFamily::Basic;
    };

    std::atomic<bool>& Flag(LedEffectFamily family) { return flags_[static_cast<size_t>(family)]; }
    const std::atomic<bool>& Flag(LedEffectFamily family) const { return flags_[static_cast<size_t>(family)]; }
    std::atomic<uint64_t>& Run(LedEffectFamily family) { return runs_[static_cast<size_t>(family)]; }
    LedEffectLaunch Snapshot(LedEffectFamily family);
    // A launch of the load colour takes its GPU's next load run, ending the earlier one.
    void ClaimLoadRun(LedEffectLaunch& launch);
    void Launch(const LedEffectLaunch& launch);
    void ReapFinishedLocked();
    void EndRunAndLaunchStopper(LedEffectFamily family);

    GpuBoardTable& table_;
    LedPacer& pacer_;
    LedThreadArgs basicArgs_;
    SyncThreadArgs syncArgs_;
    std::array<std::atomic<bool>, 3> flags_{};
    std::array<std::atomic<uint64_t>, 3> runs_{};
    std::array<std::atomic<uint64_t>, kMaxGpus> loadRuns_{};
    std::array<std::atomic<LedKind>, kMaxGpus> ledKinds_{};
    std::atomic<LedKind> ledControllerKind_{LedKind::None};
    std::atomic<bool> sessionEnding_{false};

    mutable std::mutex tallyMutex_;
    std::array<LedFrameTally, kMaxGpus> tallies_{};

    std::mutex workersMutex_;
    std::vector<Worker> workers_;
    bool shutDown_ = false;
};

}  // namespace pyx
