#pragma once
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <system_error>

#include "app/PrivateTempFolder.h"
#include "app/SettingsLocation.h"
#include "cli/CliArgs.h"
#include "cli/CliDiagnostics.h"
#include "gpu/DiagnosticsSink.h"
#include "gpu/GpuBoardTable.h"
#include "gpu/HardwareThread.h"
#include "gpu/NvApiLibrary.h"
#include "platform/ProcessLauncher.h"

namespace pyx {

// Exit statuses of pyxtunectl.
inline constexpr int kExitOk = 0;
inline constexpr int kExitHardware = 1;  // the hardware or its library refused
inline constexpr int kExitUsage = 2;     // bad arguments or configuration

// "<file>: cannot be written: <the system's reason>", as every save of this tool says it.
std::string CannotBeWrittenText(const std::filesystem::path& file, const std::error_code& why);

// The GPU library and board table one command works on, opened from the environment and
// brought up as the window brings it up: boards identified, buses probed, fans prepared and
// the hardware thread run to its end before the command starts.
class CliSession {
public:
    // Chooses the back-end, starts the hardware and waits for the hardware thread. On
    // failure prints why on err and returns null with exitCode set.
    // A command that only reads withholds the start-up's chip writes (DiscoveryWrites).
    static std::unique_ptr<CliSession> Open(std::ostream& err, int& exitCode,
                                            DiscoveryWrites writes = DiscoveryWrites::Sent);
    // Stops and joins the hardware thread before the table goes.
    ~CliSession();

    NvApiLibrary& Library() { return *library_; }
    GpuBoardTable& Boards() { return *boards_; }
    // Where the boards' diagnostic listings go: nowhere, or standard error with --verbose.
    DiagnosticsSink& Diagnostics() { return diagnostics_; }
    // The first line of every listing: which back-end answers, said plainly for the simulator.
    std::string BackendLine() const;
    // Where the program keeps its own settings files with this back-end (the window's rule).
    // None (Settings().refusal says why) when that folder is not safe to use.
    const SettingsLocation& Settings() const { return settings_; }
    std::string SettingsLine() const;
    std::string SettingsFolderText() const;  // the folder in UTF-8; empty when none is used
    // The settings folder for a command about to write there, made when missing; none, with
    // the reason in why, when no settings folder is used or it cannot be made.
    std::optional<std::filesystem::path> SettingsFolderForSaving(std::string& why);

    // The GPU named by --gpu (GPU 0 when absent); none (after saying why, with the indexes
    // this machine has) when it names no GPU.
    std::optional<int> SelectGpu(const CliArgs& args, std::ostream& err) const;

private:
    CliSession() = default;

    DiagnosticsSink diagnostics_{CliDiagnostics::Target()};
    std::unique_ptr<NvApiLibrary> library_;
    std::unique_ptr<GpuBoardTable> boards_;
    std::unique_ptr<ProcessLauncher> launcher_;
    SettingsLocation settings_;
    std::unique_ptr<PrivateTempFolder> readerFolder_;
    // Last, so that it is stopped first.
    std::unique_ptr<HardwareThread> thread_;
};

}  // namespace pyx
