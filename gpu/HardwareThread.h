#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "gpu/BiosScan.h"
#include "gpu/GpuBoardTable.h"
#include "platform/ProcessLauncher.h"

namespace pyx {

// The video-BIOS reader beside the program, and the file it writes in its current directory.
#ifdef _WIN32
inline constexpr const char* kBiosReaderProgram = "ReadMem.exe";
#else
inline constexpr const char* kBiosReaderProgram = "ReadMem";
#endif
inline constexpr const char* kBiosDumpFile = "PMOut";

struct BiosReaderOptions {
    // Where the reader runs and writes its file; empty: the current directory when started.
    std::filesystem::path folder;
    // Empty: kBiosReaderProgram in folder.
    std::filesystem::path program;
    // The longest wait for the dump; a reader that ends sooner ends the wait with it.
    std::chrono::milliseconds readTimeout{4000};
    std::chrono::milliseconds pollInterval{100};
};

// What one run of the thread did, for the caller that wants to know after it ended.
struct HardwareThreadOutcome {
    bool readerRun = false;      // exactly one board, so the BIOS was asked for
    bool readerStarted = false;  // the reader program could be started
    size_t biosBytes = 0;        // bytes of the dump that were scanned
    BiosScanResult scan;
    bool stopped = false;        // ended early on request
};

// The reader's argument naming the back-end the table's library is: the reader takes the
// simulator's bytes only when told "--backend=sim", and otherwise reads the card's ROM.
std::string BiosReaderBackendArgument(const GpuBoardTable& table);

// Learns the duty limit of each board's slot-1 fan chip: writes the highest duty and keeps
// what the chip holds when that is above half.
void LearnFanChipLimits(GpuBoardTable& table);

// The background part of the hardware start: runs once beside the user-interface thread,
// reads the video BIOS when exactly one board is present and learns the fan-chip limits.
// Nobody waits for it; its owner's destructor asks it to stop and joins it, which takes at
// most one poll interval or a few bus transactions, so the program can end while it runs.
// The table and the launcher handed in must outlive this object.
class HardwareThread {
public:
    // launcher may be null: the reader is then never started and the scan runs over nothing.
    explicit HardwareThread(ProcessLauncher* launcher, BiosReaderOptions options = {});
    ~HardwareThread();
    HardwareThread(const HardwareThread&) = delete;
    HardwareThread& operator=(const HardwareThread&) = delete;

    // Starts the one run; false when it was started before or the thread could not start.
    bool Start(GpuBoardTable& table);
    void RequestStop();
    // Waits for the run to end; true when it ended within the time given.
    bool WaitFinished(std::chrono::milliseconds timeout);
    bool Started() const { return started_.load(); }
    bool Finished() const { return finished_.load(); }
    // Meaningful once Finished().
    HardwareThreadOutcome Outcome() const;

private:
    void Run(GpuBoardTable& table);
    // Sleeps, waking early on a stop request; false when stop was requested.
    bool Pause(std::chrono::milliseconds duration);
    std::vector<uint8_t> ReadDump(const std::filesystem::path& dump);

    ProcessLauncher* launcher_;
    BiosReaderOptions options_;
    std::thread thread_;
    std::atomic<bool> started_{false};
    std::atomic<bool> finished_{false};
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool stopRequested_ = false;
    HardwareThreadOutcome outcome_;
};

}  // namespace pyx
