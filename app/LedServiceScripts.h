#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// The two scripts that install and remove the LED service. They are rewritten beside the
// program at every start, so they always name the program's current folder. On Windows they
// are "sc" batch files; elsewhere shell scripts that do the same through systemd.

// File names for the platform being built.
std::string_view InstallScriptName();
std::string_view RemoveScriptName();

// Both return 1 when the script was written into `programFolder`, 0 when the file could not
// be opened or written.
int WriteInstallScript(const std::filesystem::path& programFolder);
int WriteRemoveScript(const std::filesystem::path& programFolder);
// The install script written into `scriptFolder` (the settings folder, which an installed
// program can write), naming the service program in `programFolder`.
int WriteInstallScript(const std::filesystem::path& scriptFolder, const std::filesystem::path& programFolder);

// The texts themselves, for either system (Windows' line is converted to the ANSI code page
// when written, without terminating zero or line end).
std::wstring WindowsInstallLine(std::wstring_view programFolder);
std::string_view WindowsRemoveLine();
std::string SystemdInstallScript(const std::filesystem::path& programFolder);
std::string SystemdRemoveScript();
// A path as one quoted ExecStart argument of a systemd unit.
std::string SystemdQuotedPath(std::string_view path);
