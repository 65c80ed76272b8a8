#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

#include "app/StartMode.h"
#include "platform/LogonRunList.h"

// The program's entry in the machine's log-on list: the quoted program path, one blank and the
// start-mode name, which the system then passes as the whole command line.
inline constexpr std::string_view kRunEntryName = "Pyxtune";
// Longest entry read back: 256 UTF-16 characters with the terminating zero.
inline constexpr std::size_t kRunEntryMaxBytes = 512;

// Sets `startMode` from the entry's last word (Unset for an unknown word) and returns true.
// Returns false, leaving `startMode` alone, when there is no readable entry, it is longer than
// kRunEntryMaxBytes, it has no blank, or its only blank is its first character.
bool ReadStartModeFromRunEntry(LogonRunList& list, StartMode& startMode);

// Writes the entry for a mode with a name (Normal, Minimize, SysTray, OnlyApplySettings);
// does nothing for the others. False when nothing was written.
bool WriteRunEntry(LogonRunList& list, StartMode mode, const std::filesystem::path& programFile);

// Removes the entry ("do not run"); true when there is none afterwards.
bool DeleteRunEntry(LogonRunList& list);

// The entry's text for `mode`; empty for a mode without a name.
std::string RunEntryCommandLine(StartMode mode, const std::filesystem::path& programFile);
