#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// The two Windows batch files that install and remove the LED service with "sc". They are
// rewritten beside the program at every start, so they always name the program's current
// folder. Linux has no such service: the Pyxtune service keeps the lighting running there.

#ifdef _WIN32
std::string_view InstallScriptName();
std::string_view RemoveScriptName();

// Both return 1 when the script was written into `programFolder`, 0 when the file could not
// be opened or written.
int WriteInstallScript(const std::filesystem::path& programFolder);
int WriteRemoveScript(const std::filesystem::path& programFolder);
// The install script written into `scriptFolder` (the settings folder, which an installed
// program can write), naming the service program in `programFolder`.
int WriteInstallScript(const std::filesystem::path& scriptFolder, const std::filesystem::path& programFolder);
#endif

// The lines themselves (converted to the ANSI code page when written, without terminating
// zero or line end); built everywhere, so that their quoting is checked on every build.
std::wstring WindowsInstallLine(std::wstring_view programFolder);
std::string_view WindowsRemoveLine();
