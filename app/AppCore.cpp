#include "app/AppCore.h"

#include <cstdio>
#include <system_error>

#include "app/LedService.h"
#include "app/TuningSettingsStore.h"
#include "gpu/HardwareStartup.h"

namespace pyx {

void LoadDefaultSettings(GpuBoardTable& table, AppState& state) {
    LoadTuningSettings(kTuningSettingsFileName, table, state);
}

AppCore::AppCore(std::unique_ptr<LibrarySource> source, std::unique_ptr<Trace> trace)
    : library_(std::make_unique<NvApiLibrary>(std::move(source), std::move(trace))), boards_(*library_) {}

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
        platform.messages.ShowMessage(kOtherUserMessage, kAppCaption, MessageIcon::Error);
        return StartupResult::OtherUsersCopy;
    case InstanceLockResult::HeldBySameUser:
        platform.instanceLock.ActivateFirstCopy();
        return StartupResult::ActivatedFirstCopy;
    case InstanceLockResult::Unavailable:
        // No lock can be made here (the system refused it): telling the user that
        // another user runs the program would be false, and refusing to start would lock
        // them out, so this copy runs unguarded.
        std::fprintf(stderr, "pyxtune: the single-instance lock could not be made; starting anyway\n");
        break;
    }

    programFolder = programFile.parent_path();
    if (!programFolder.empty()) {
        std::error_code ec;
        std::filesystem::current_path(programFolder, ec);
    }

    commandLineMode = StartModeFromCommandLine(commandLineTail);

    QueryLedService(platform.services, ledServiceInstalled);

    if (registerFonts && !registerFonts())
        platform.messages.ShowMessage(kAddFontFailedMessage, kAppCaption, MessageIcon::Error);

    BiosReaderOptions reader;
    reader.folder = programFolder.empty() ? std::filesystem::current_path() : programFolder;
    hardwareThread_ = std::make_unique<HardwareThread>(platform.launcher, reader);
    startHardwareResult = StartHardware(boards_, *hardwareThread_);
    if (startHardwareResult == kStartHardwareOk && loadSettings) loadSettings(boards_, state_);
    return StartupResult::RunMainWindow;
}

}  // namespace pyx
