#include "gpu/HardwareThread.h"

#include <atomic>
#include <fstream>
#include <memory>
#include <system_error>

#include "gpu/I2cBus.h"
#include "gpu/NvApiLibrary.h"

namespace pyx {

namespace {

constexpr int kFanChipSlot = 1;
constexpr uint8_t kDutyLimitRegister = 0x38;
constexpr uint8_t kOddDutyLimitRegister = 0x39;  // the chip variant the BIOS names
constexpr auto kChipSettle = std::chrono::milliseconds(10);

}  // namespace

std::string BiosReaderBackendArgument(const GpuBoardTable& table) {
    return table.Library().IsSimulated() ? "--backend=sim" : "--backend=nvapi";
}

void LearnFanChipLimits(GpuBoardTable& table) {
    for (int gpu = 0; gpu < table.gpuCount; ++gpu) {
        GpuBoard& board = table.Board(gpu);
        if (board.i2cSlots[kFanChipSlot].devAddress == 0) continue;
        uint8_t reg =
            board.fan.Path() == FanPath::LibraryCoolerAndChip ? kOddDutyLimitRegister : kDutyLimitRegister;
        // The limit the chip holds after full is asked for; without the write, the one it holds.
        // A chip that refuses the write holds no higher limit; the read-back below tells.
        if (table.discoveryWrites == DiscoveryWrites::Sent) {
            uint8_t full = 0xFF;
            (void)WriteSlotRegister(table, gpu, &reg, &full, kFanChipSlot);
            std::this_thread::sleep_for(kChipSettle);
        }
        uint8_t held = 0;
        if (ReadSlotRegister(table, gpu, &reg, &held, kFanChipSlot) == kNvOk && held > 0x7F)
            board.fanChipLimit = held;
    }
}

HardwareThread::HardwareThread(ProcessLauncher* launcher, BiosReaderOptions options)
    : launcher_(launcher), options_(std::move(options)) {}

HardwareThread::~HardwareThread() {
    RequestStop();
    if (thread_.joinable()) thread_.join();
}

bool HardwareThread::Start(GpuBoardTable& table) {
    if (started_.exchange(true)) return false;
    if (options_.folder.empty()) {
        std::error_code ec;
        options_.folder = std::filesystem::current_path(ec);
    }
    if (options_.program.empty()) options_.program = options_.folder / kBiosReaderProgram;
    try {
        thread_ = std::thread([this, &table] { Run(table); });
    } catch (const std::system_error&) {
        finished_ = true;
        return false;
    }
    return true;
}

void HardwareThread::RequestStop() {
    {
        std::lock_guard lock(mutex_);
        stopRequested_ = true;
    }
    wake_.notify_all();
}

bool HardwareThread::WaitFinished(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return wake_.wait_for(lock, timeout, [this] { return finished_.load(); });
}

HardwareThreadOutcome HardwareThread::Outcome() const {
    std::lock_guard lock(mutex_);
    return outcome_;
}

bool HardwareThread::Pause(std::chrono::milliseconds duration) {
    std::unique_lock lock(mutex_);
    return !wake_.wait_for(lock, duration, [this] { return stopRequested_; });
}

std::vector<uint8_t> HardwareThread::ReadDump(const std::filesystem::path& dump) {
    std::vector<uint8_t> bytes;
    std::ifstream in(dump, std::ios::binary);
    if (!in) return bytes;
    bytes.resize(kBiosScanBytes);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(in.gcount()));
    return bytes;
}

void HardwareThread::Run(GpuBoardTable& table) {
    HardwareThreadOutcome outcome;
    auto finish = [&] {
        {
            std::lock_guard lock(mutex_);
            outcome_ = outcome;
            finished_ = true;
        }
        wake_.notify_all();
    };

    if (table.gpuCount == 1) {
        outcome.readerRun = true;
        const std::filesystem::path dump = options_.folder / kBiosDumpFile;
        std::error_code ec;
        std::filesystem::remove(dump, ec);  // a dump left from an earlier start must not be read
        const auto readerEnded = std::make_shared<std::atomic<bool>>(false);
        if (launcher_ != nullptr)
            outcome.readerStarted = launcher_->StartWatched(
                {options_.program, {BiosReaderBackendArgument(table)}, options_.folder}, readerEnded);

        const auto began = std::chrono::steady_clock::now();
        std::vector<uint8_t> bytes;
        bool more = Pause(options_.pollInterval);
        while (more && std::chrono::steady_clock::now() - began <= options_.readTimeout) {
            // Read after the end is seen: what the reader wrote before it ended is all there is.
            const bool ended = readerEnded->load();
            bytes = ReadDump(dump);
            if (bytes.size() >= kBiosEnoughBytes || ended) break;
            more = Pause(options_.pollInterval);
        }
        if (!more) {
            outcome.stopped = true;
            finish();
            return;
        }
        outcome.biosBytes = bytes.size();
        outcome.scan = ScanBios(bytes);
        ApplyBiosScan(outcome.scan, table.Board(0));
    }

    {
        std::lock_guard lock(mutex_);
        outcome.stopped = stopRequested_;
    }
    if (outcome.stopped) {
        finish();
        return;
    }
    LearnFanChipLimits(table);
    finish();
}

}  // namespace pyx
