#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// How the program was asked to start; the log-on entry passes the name as the command line.
enum class StartMode : std::uint32_t {
  Unset = 0,
  DoNotRun = 1,  // no name: it is the absence of a log-on entry
  Normal = 2,
  Minimize = 3,
  SysTray = 4,
  OnlyApplySettings = 5,
};

struct StartModeName {
  std::string_view name;
  StartMode mode;
};

// Searched in this order; names match without regard to letter case.
inline constexpr std::array<StartModeName, 4> kStartModeNames{{
    {"Normal", StartMode::Normal},
    {"Minimize", StartMode::Minimize},
    {"SysTray", StartMode::SysTray},
    {"OnlyApplySettings", StartMode::OnlyApplySettings},
}};

// The mode whose name equals the whole text; Unset for an empty or unknown text.
StartMode StartModeFromName(std::string_view text);
// The table's name of `mode`; empty for Unset, DoNotRun and values outside the table.
std::string_view StartModeToName(StartMode mode);
// The mode given by the whole command-line tail (everything after the program name). Nothing
// is trimmed or split: " SysTray" or "/SysTray" is no mode.
StartMode StartModeFromCommandLine(std::string_view commandLineTail);
// The tail as the arguments were passed (argv[1..] joined by single blanks).
std::string CommandLineTail(int argc, const char* const* argv);
