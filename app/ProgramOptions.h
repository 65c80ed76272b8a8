#pragma once
#include <filesystem>
#include <string>

namespace pyx {

// The program's own choices, kept in the settings folder beside "Preformance.txt".
inline constexpr char kProgramOptionsFileName[] = "Options.txt";

// How long an applied tuning waits for the user to keep it before it is taken back.
inline constexpr int kRevertAfterMinS = 5;
inline constexpr int kRevertAfterMaxS = 60;

struct ProgramOptions {
    // "Return fans to automatic when Pyxtune exits": off, as a fan the user fixed is kept
    // where the user put it.
    bool fansAutomaticOnExit = false;
    // "Ask before keeping an applied tuning": on, since a tuning that hangs the display must
    // undo itself; off, an Apply is kept at once.
    bool askBeforeKeeping = true;
    int revertAfterS = 15;  // kRevertAfterMinS..kRevertAfterMaxS
};

// The question of an applied tuning, %1 the seconds left.
inline constexpr char kKeepQuestionText[] = "Keep these settings? They are reverted in %1 s.";
// kKeepQuestionText in the user's language: "Keep these settings? They are reverted in 15 s."
std::string KeepQuestion(int secondsLeft);

// A missing or unreadable file gives the defaults.
ProgramOptions LoadProgramOptions(const std::filesystem::path& file);
// Replaces the file in one step; false when it could not be written (the old one is kept).
bool SaveProgramOptions(const ProgramOptions& options, const std::filesystem::path& file);

}  // namespace pyx
