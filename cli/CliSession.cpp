#include "cli/CliSession.h"

#include <chrono>
#include <system_error>

#include "app/GpuBackend.h"
#include "gpu/HardwareStartup.h"
#include "gpu/Trace.h"
#include "platform/ProcessIdentity.h"
#include "platform/SystemPlatform.h"

namespace pyx {

namespace {

// The video-BIOS reader runs in a folder of its own, so a command never removes or reads a
// dump file lying in the user's current folder.
BiosReaderOptions ReaderOptions(const std::filesystem::path& folder, bool readerPresent) {
    BiosReaderOptions options;
    options.folder = folder;
    options.program = CurrentProgramFile().parent_path() / kBiosReaderProgram;
    if (!readerPresent) {
        // Nothing will write a dump: do not wait for one.
        options.readTimeout = std::chrono::milliseconds(0);
        options.pollInterval = std::chrono::milliseconds(1);
    } else {
        // The reader's end ends the wait, so a busy machine, where the reader may need more than
        // the window's few seconds to start, still gets the BIOS read; the limit is for a
        // reader that hangs.
        options.readTimeout = std::chrono::seconds(30);
    }
    return options;
}

}  // namespace

std::unique_ptr<CliSession> CliSession::Open(std::ostream& err, int& exitCode, DiscoveryWrites writes) {
    GpuBackendChoice choice = ChooseGpuBackendFromEnvironment();
    if (!choice.source) {
        err << "pyxtunectl: " << choice.error << "\n";
        exitCode = kExitUsage;
        return nullptr;
    }
    auto session = std::unique_ptr<CliSession>(new CliSession());
    session->library_ = std::make_unique<NvApiLibrary>(std::move(choice.source), Trace::FromEnvironment());
    session->boards_ = std::make_unique<GpuBoardTable>(*session->library_, session->diagnostics_);
    session->boards_->discoveryWrites = writes;
    const NvStatus init = session->library_->Initialize();
    if (init != kNvOk) {
        // Not installed, refused and why, or the driver's own start status: each says what
        // to do, which a bare status would not.
        err << "pyxtunectl: the GPU library could not be used: " << session->library_->Outcome().Message() << "\n";
        exitCode = kExitHardware;
        return nullptr;
    }
    const NvStatus enumerated = session->boards_->EnumerateBoards();
    if (enumerated != kNvOk || session->boards_->gpuCount == 0) {
        err << "pyxtunectl: no NVIDIA GPU found (status " << enumerated << ")\n";
        exitCode = kExitHardware;
        return nullptr;
    }

    // The driver refuses a change from anyone but root; the service is the way around that.
    if (writes == DiscoveryWrites::Sent && !session->library_->IsSimulated() && !RunsAsAdministrator())
        err << "pyxtunectl: note: not root, and no Pyxtune service answers: the driver refuses changes to the cards "
               "(sudo systemctl enable --now pyxtuned.socket, then sudo adduser $USER pyxtune)\n";
    session->settings_ = SettingsLocationFor(CurrentProgramFile().parent_path(), session->library_->IsSimulated());

    // The reader runs in a fresh folder nobody could have prepared; without one it is not
    // started at all.
    std::error_code ec;
    session->readerFolder_ = PrivateTempFolder::Make("pyxtunectl-bios-");
    const bool readerPresent = session->readerFolder_ &&
                               std::filesystem::exists(CurrentProgramFile().parent_path() / kBiosReaderProgram, ec);
    if (readerPresent) session->launcher_ = CreateSystemProcessLauncher();
    const BiosReaderOptions options =
        ReaderOptions(session->readerFolder_ ? session->readerFolder_->Path()
                                             : PrivateTempFolder::Nowhere(CurrentProgramFile()),
                      readerPresent);
    session->thread_ = std::make_unique<HardwareThread>(session->launcher_.get(), options);

    const int started = StartHardware(*session->boards_, *session->thread_);
    if (started != kStartHardwareOk) {
        err << "pyxtunectl: the GPUs could not be started ("
            << (started == kStartHardwareNoThread ? "the background thread that reads the BIOS could not be started"
                                                  : "their performance levels could not be read")
            << ")\n";
        exitCode = kExitHardware;
        return nullptr;
    }
    // The thread learns the fan-chip limits the fan commands need; a command starts after it.
    session->thread_->WaitFinished(options.readTimeout + std::chrono::seconds(5));
    exitCode = kExitOk;
    return session;
}

CliSession::~CliSession() {
    if (thread_) {
        thread_->RequestStop();
        thread_.reset();
    }
    readerFolder_.reset();
}

std::string CliSession::BackendLine() const {
    if (library_->IsSimulated())
        return "Back-end: sim - SIMULATED cards, no real GPU is touched (" + library_->BackendDescription() + ")";
    return "Back-end: nvapi (" + library_->BackendDescription() + ")";
}

std::string CliSession::SettingsFolderText() const {
    const std::optional<std::filesystem::path> folder = settings_.Folder();
    if (!folder) return {};
    const std::u8string text = folder->u8string();
    return std::string(text.begin(), text.end());
}

std::string CliSession::SettingsLine() const {
    if (settings_.refusal) return "Settings folder: none (" + settings_.WhyNotUsed() + ")";
    return "Settings folder: " + SettingsFolderText() +
           (settings_.simulated ? " (the simulator's own; real cards' settings are not touched)" : "");
}

std::optional<std::filesystem::path> CliSession::SettingsFolderForSaving(std::string& why) {
    std::string error;
    if (!MakeSettingsFolder(settings_, error)) {
        why = settings_.refusal ? error : "the settings folder cannot be made: " + error;
        return std::nullopt;
    }
    return settings_.Folder();
}

std::string CannotBeWrittenText(const std::filesystem::path& file, const std::error_code& why) {
    return file.string() + ": cannot be written: " + why.message();
}

std::optional<int> CliSession::SelectGpu(const CliArgs& args, std::ostream& err) const {
    std::optional<int64_t> gpu = 0;
    if (!args.Int("--gpu", 0, boards_->gpuCount - 1, gpu, err)) return std::nullopt;
    return static_cast<int>(*gpu);
}

}  // namespace pyx
