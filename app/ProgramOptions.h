#pragma once
#include <filesystem>

namespace pyx {

// The program's own choices, kept in the settings folder beside "Preformance.txt".
inline constexpr char kProgramOptionsFileName[] = "Options.txt";

struct ProgramOptions {
    // "Return fans to automatic when Pyxtune exits": off, as a fan the user fixed is kept
    // where the user put it.
    bool fansAutomaticOnExit = false;
};

// A missing or unreadable file gives the defaults.
ProgramOptions LoadProgramOptions(const std::filesystem::path& file);
// Replaces the file in one step; false when it could not be written (the old one is kept).
bool SaveProgramOptions(const ProgramOptions& options, const std::filesystem::path& file);

}  // namespace pyx
