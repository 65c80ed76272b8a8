#include "app/RunEntry.h"

#include <algorithm>

namespace {

// UTF-16 code units of a UTF-8 text: one per character, two for those beyond the basic plane.
std::size_t Utf16Units(std::string_view utf8) {
  std::size_t units = 0;
  for (const char ch : utf8) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c & 0xC0) != 0x80) ++units;  // not a continuation byte: a new character
    if (c >= 0xF0) ++units;           // four-byte sequence: a surrogate pair
  }
  return units;
}

std::string PathText(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// The path is quoted so that a folder with blanks ("C:\Program Files\...") cannot be read by
// the system as a shorter program name followed by arguments.
std::string QuotedProgram(const std::filesystem::path& programFile) {
  const std::string path = PathText(programFile);
  std::string quoted = "\"";
#ifdef _WIN32
  quoted += path;  // a Windows path holds no double quote
#else
  // Inside double quotes a desktop entry's Exec line takes these four only escaped.
  for (const char c : path) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    quoted += c;
  }
#endif
  quoted += '"';
  return quoted;
}

}  // namespace

bool ReadStartModeFromRunEntry(LogonRunList& list, StartMode& startMode) {
  std::string text;
  if (list.Read(kRunEntryName, text) != RunListStatus::Ok) return false;
  if ((Utf16Units(text) + 1) * 2 > kRunEntryMaxBytes) return false;
  // The stored text ends at its first zero, as a registry string does.
  text.resize(std::min(text.size(), text.find('\0')));
  const std::size_t blank = text.rfind(' ');
  if (blank == std::string::npos || blank == 0) return false;
  startMode = StartModeFromName(std::string_view(text).substr(blank + 1));
  return true;
}

std::string RunEntryCommandLine(StartMode mode, const std::filesystem::path& programFile) {
  const std::string_view name = StartModeToName(mode);
  if (name.empty()) return {};
  return QuotedProgram(programFile) + " " + std::string(name);
}

bool WriteRunEntry(LogonRunList& list, StartMode mode, const std::filesystem::path& programFile) {
  const std::string commandLine = RunEntryCommandLine(mode, programFile);
  if (commandLine.empty()) return false;
  return list.Write(kRunEntryName, commandLine);
}

bool DeleteRunEntry(LogonRunList& list) { return list.Remove(kRunEntryName); }
