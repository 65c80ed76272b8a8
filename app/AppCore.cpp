#include "app/AppCore.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <system_error>

#include "app/CoreTexts.h"
#include "app/LedService.h"
#include "app/ServiceChanges.h"
#include "app/ServiceReads.h"
#include "app/TuningRanges.h"
#include "app/TuningSettingsStore.h"
#include "gpu/HardwareStartup.h"

namespace pyx {

void LoadDefaultSettings(const std::filesystem::path& file, GpuBoardTable& table, AppState& state) {
    LoadTuningSettings(file, table, state);
}

AppCore::AppCore(std::unique_ptr<LibrarySource> source, std::unique_ptr<Trace> trace)
    : library_(std::make_unique<NvApiLibrary>(std::move(source), std::move(trace))),
      boards_(*library_),
      fans_(std::make_unique<FanSafety>(boards_)),
      curves_(std::make_unique<FanCurveEngine>(boards_, state_)) {}

bool AppCore::SaveOptions() const {
    const std::optional<std::filesystem::path> file = settings.File(kProgramOptionsFileName);
    return file && SaveProgramOptions(options, *file);
}

void AppCore::RecordSamples(int64_t nowMs) {
    if (!service_) {
        for (int gpu = 0; gpu < history_->GpuCount(); ++gpu) history_->Add(ReadSample(boards_, gpu, nowMs));
        return;
    }
    ServiceReads reads(*service_);
    const std::optional<int64_t> since =
        newestServiceSampleMs_ ? std::optional<int64_t>(*newestServiceSampleMs_ + 1) : std::nullopt;
    if (const auto samples = reads.SamplesSince(since)) {
        for (const HistorySample& sample : *samples) {
            history_->Add(sample);
            newestServiceSampleMs_ = std::max(newestServiceSampleMs_.value_or(sample.timeMs), sample.timeMs);
        }
        return;
    }
    // A service that keeps no history: what it reads now, as far as the readouts go.
    for (int gpu = 0; gpu < history_->GpuCount(); ++gpu) {
        const MonitorReadings r = reads.Readings(gpu);
        if (!r.read) continue;
        HistorySample sample;
        sample.timeMs = nowMs;
        sample.gpu = gpu;
        // The readouts say 0 for a value the card did not give; the history keeps it absent.
        if (r.graphicsClockMHz != 0) sample.graphicsClockMHz = r.graphicsClockMHz;
        if (r.memoryClockMHz != 0) sample.memoryClockMHz = r.memoryClockMHz;
        if (r.temperatureC != 0) sample.temperatureC = r.temperatureC;
        if (r.hasFan) (r.fanUnit == FanUnit::Rpm ? sample.fanRpm : sample.fanPercent) = r.fanValue;
        sample.loadPercent = r.loadPercent;
        history_->Add(sample);
    }
}

void AppCore::ReadSliders(int gpu, TuningPage& page) {
    if (!boards_.IsValidGpu(gpu)) return;
    ReadSliderRanges(boards_, gpu, page);
    if (!service_ || !page.fan.enabled) return;
    const MonitorReadings r = ServiceReads(*service_).Readings(gpu);
    if (!r.hasFan || r.fanUnit != page.fanUnit) return;
    page.fan.SetClamped(r.fanValue);
    page.lastFanLevel = page.fan.pos;
}

MonitorReadings AppCore::Readings(int gpu) {
    return service_ ? ServiceReads(*service_).Readings(gpu) : ReadMonitors(boards_, gpu);
}

std::optional<FanCurveLive> AppCore::CurveLive(int gpu) {
    return service_ ? ServiceReads(*service_).CurveLive(gpu) : curves_->Live(gpu);
}

TuningReport AppCore::End() {
    if (ended_) return {};
    ended_ = true;
    reapply_.End();
    // An end that skips the destructors (Quit) must not leave the reader's folder behind.
    // The thread that reads from it stops first; one still busy keeps it until the destructor.
    if (hardwareThread_) {
        hardwareThread_->RequestStop();
        if (!hardwareThread_->Started() || hardwareThread_->WaitFinished(kReaderStopWait)) readerFolder_.reset();
    }
    TuningReport handedBack = curves_->End();
    if (options.fansAutomaticOnExit) handedBack.Append(fans_->HandBackPinned());
    return handedBack;
}

// The hardware thread is asked to stop and joined before the table it uses goes away; the
// bus mutexes go with the table.
AppCore::~AppCore() { hardwareThread_.reset(); }

StartupResult AppCore::Start(AppPlatform& platform, const std::filesystem::path& programFile,
                             std::string_view commandLineTail, const std::function<bool()>& registerFonts,
                             const SettingsLoader& loadSettings) {
    switch (platform.instanceLock.Acquire()) {
    case InstanceLockResult::Acquired:
        break;
    case InstanceLockResult::HeldByOtherUser:
        if (const std::string holder = platform.instanceLock.HolderName(); !holder.empty())
            platform.messages.ShowMessage(CoreTexts::Format(kOtherUserNamedMessage, {holder}), kAppCaption, MessageIcon::Error);
        else
            platform.messages.ShowMessage(kOtherUserMessage, kAppCaption, MessageIcon::Error);
        return StartupResult::OtherUsersCopy;
    case InstanceLockResult::HeldBySameUser:
        // A start from a terminal that ended without a word would look like a failure.
        std::puts(platform.instanceLock.ActivateFirstCopy()
                      ? "Pyxtune is already running; its window was brought to the front."
                      : "Pyxtune is already running, but its window could not be asked to come forward.");
        std::fflush(stdout);
        return StartupResult::ActivatedFirstCopy;
    case InstanceLockResult::Unavailable:
        // No lock can be made here (the system refused it): telling the user that
        // another user runs the program would be false, and refusing to start would lock
        // them out, so this copy runs unguarded.
        if (const std::string problem = platform.instanceLock.Problem(); !problem.empty())
            std::fprintf(stderr, "pyxtune: the single-instance lock could not be made (%s); starting anyway\n", problem.c_str());
        else
            std::fprintf(stderr, "pyxtune: the single-instance lock could not be made; starting anyway\n");
        break;
    }

    programFolder = programFile.parent_path();
    if (!programFolder.empty()) {
        std::error_code ec;
        std::filesystem::current_path(programFolder, ec);
    }

    // A folder that is not safe to use leaves the program without settings: the defaults, and
    // nothing re-applied or saved (the window says why).
    settings = SettingsLocationFor(programFolder, library_->IsSimulated());
    if (std::string error; settings.Folder() && !MakeSettingsFolder(settings, error) && !settings.refusal)
        std::fprintf(stderr, "pyxtune: the settings folder could not be made (%s)\n", error.c_str());
    if (settings.refusal) std::fprintf(stderr, "pyxtune: %s\n", settings.WhyNotUsed().c_str());

    if (const auto file = settings.File(kProgramOptionsFileName)) options = LoadProgramOptions(*file);
    commandLineMode = StartModeFromCommandLine(commandLineTail);

    // Where the service keeps the lighting, its choice stands for the LED service.
    if (service_)
        ledServiceInstalled = ServiceChanges(*service_).KeepsLighting().value_or(false);
    else
        QueryLedService(platform.services, ledServiceInstalled);

    if (registerFonts && !registerFonts())
        platform.messages.ShowMessage(kAddFontFailedMessage, kAppCaption, MessageIcon::Error);

    // The reader comes from the program folder but runs, and leaves its dump, in a fresh
    // folder of its own; without one it is not started at all.
    BiosReaderOptions reader;
    reader.program = (programFolder.empty() ? std::filesystem::current_path() : programFolder) / kBiosReaderProgram;
    readerFolder_ = PrivateTempFolder::Make("pyxtune-bios-");
    ProcessLauncher* launcher = readerFolder_ ? platform.launcher : nullptr;
    reader.folder = readerFolder_ ? readerFolder_->Path() : PrivateTempFolder::Nowhere(reader.program);
    if (!readerFolder_) reader.readTimeout = std::chrono::milliseconds(0);
    hardwareThread_ = std::make_unique<HardwareThread>(launcher, reader);
    // Another process owns the cards: this one must not send the start-up's chip writes
    // between that owner's.
    if (service_) boards_.discoveryWrites = DiscoveryWrites::Withheld;
    startHardwareResult = StartHardware(boards_, *hardwareThread_);
    history_ = std::make_unique<SampleHistory>(std::min<int>(boards_.gpuCount, kMaxGpus));
    // The service puts the machine's settings back itself.
    if (service_) return StartupResult::RunMainWindow;
    if (const std::optional<std::filesystem::path> tuningFile = settings.TuningFile()) {
        reapply_ = ReapplyGuard(*settings.Folder());
        if (startHardwareResult == kStartHardwareOk && loadSettings &&
            reapply_.Begin(*tuningFile, ReapplyGuard::Clock::now()))
            loadSettings(*tuningFile, boards_, state_);
    }
    return StartupResult::RunMainWindow;
}

}  // namespace pyx
