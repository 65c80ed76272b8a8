#include "app/StartMode.h"

namespace {

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

StartMode StartModeFromName(std::string_view text) {
  if (text.empty()) return StartMode::Unset;
  for (const auto& row : kStartModeNames) {
    if (EqualIgnoringCase(row.name, text)) return row.mode;
  }
  return StartMode::Unset;
}

std::string_view StartModeToName(StartMode mode) {
  for (const auto& row : kStartModeNames) {
    if (row.mode == mode) return row.name;
  }
  return {};
}

StartMode StartModeFromCommandLine(std::string_view commandLineTail) {
  return StartModeFromName(commandLineTail);
}

std::string CommandLineTail(int argc, const char* const* argv) {
  std::string tail;
  for (int i = 1; i < argc && argv && argv[i]; ++i) {
    if (i > 1) tail += ' ';
    tail += argv[i];
  }
  return tail;
}
