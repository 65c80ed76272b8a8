#include "platform/linux/XdgAutostartList.h"

#include <cstdlib>
#include <fstream>
#include <span>
#include <sstream>
#include <system_error>

#include "platform/FileReplacement.h"

namespace {

// Anything bigger is not one of our entries; refuse rather than read it whole.
constexpr std::uintmax_t kLargestEntryBytes = 64 * 1024;

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

}  // namespace

std::filesystem::path XdgAutostartList::DefaultFolder() {
  const char* dirs = std::getenv("XDG_CONFIG_DIRS");
  std::string_view list = dirs ? dirs : "";
  while (!list.empty()) {
    const std::size_t colon = list.find(':');
    const std::string_view first = list.substr(0, colon);
    // Relative entries are to be ignored, as the base-directory rules say.
    if (!first.empty() && first.front() == '/') return std::filesystem::path(first) / "autostart";
    if (colon == std::string_view::npos) break;
    list.remove_prefix(colon + 1);
  }
  return "/etc/xdg/autostart";
}

XdgAutostartList::XdgAutostartList(std::filesystem::path folder) : folder_(std::move(folder)) {}

std::filesystem::path XdgAutostartList::EntryFile(std::string_view name) const {
  if (name.empty() || name == "." || name == ".." ||
      name.find_first_of("/\n") != std::string_view::npos) {
    return {};
  }
  return folder_ / (std::string(name) + ".desktop");
}

std::string XdgAutostartList::EncodeExec(std::string_view commandLine) {
  std::string value;
  for (std::size_t i = 0; i < commandLine.size(); ++i) {
    const char c = commandLine[i];
    switch (c) {
      case '%': value += "%%"; break;  // a lone % would be a field code
      case '\\': value += "\\\\"; break;
      case '\n': value += "\\n"; break;
      case '\t': value += "\\t"; break;
      case '\r': value += "\\r"; break;
      case ' ':  // blanks at either end would be trimmed away
        value += i == 0 || i + 1 == commandLine.size() ? "\\s" : " ";
        break;
      default: value += c;
    }
  }
  return value;
}

std::string XdgAutostartList::DecodeExec(std::string_view value) {
  std::string text;
  for (std::size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (c == '\\' && i + 1 < value.size()) {
      const char e = value[++i];
      switch (e) {
        case 's': text += ' '; break;
        case 'n': text += '\n'; break;
        case 't': text += '\t'; break;
        case 'r': text += '\r'; break;
        case '\\': text += '\\'; break;
        default: text += '\\'; text += e;
      }
    } else if (c == '%' && i + 1 < value.size() && value[i + 1] == '%') {
      text += '%';
      ++i;
    } else {
      text += c;
    }
  }
  return text;
}

RunListStatus XdgAutostartList::Read(std::string_view name, std::string& commandLine) {
  const std::filesystem::path file = EntryFile(name);
  if (file.empty()) return RunListStatus::Failed;
  std::error_code ec;
  if (!std::filesystem::exists(file, ec)) {
    return ec ? RunListStatus::Failed : RunListStatus::NotFound;
  }
  const std::uintmax_t size = std::filesystem::file_size(file, ec);
  if (ec || size > kLargestEntryBytes) return RunListStatus::Failed;
  std::ifstream in(file, std::ios::binary);
  if (!in) return RunListStatus::Failed;

  bool inMainGroup = false;
  bool hidden = false;
  bool haveExec = false;
  std::string exec;
  std::string line;
  while (std::getline(in, line)) {
    const std::string_view text = Trim(line);
    if (text.empty() || text.front() == '#') continue;
    if (text.front() == '[') {
      inMainGroup = text == "[Desktop Entry]";
      continue;
    }
    if (!inMainGroup) continue;
    const std::size_t eq = text.find('=');
    if (eq == std::string_view::npos) continue;
    const std::string_view key = Trim(text.substr(0, eq));
    const std::string_view value = Trim(text.substr(eq + 1));
    if (key == "Exec" && !haveExec) {
      exec = DecodeExec(value);
      haveExec = true;
    } else if (key == "Hidden") {
      hidden = value == "true";
    }
  }
  if (in.bad()) return RunListStatus::Failed;
  // A hidden entry is how the autostart rules spell "removed".
  if (hidden) return RunListStatus::NotFound;
  if (!haveExec) return RunListStatus::Failed;
  commandLine = std::move(exec);
  return RunListStatus::Ok;
}

bool XdgAutostartList::Write(std::string_view name, std::string_view commandLine) {
  const std::filesystem::path file = EntryFile(name);
  if (file.empty()) return false;
  std::error_code ec;
  std::filesystem::create_directories(folder_, ec);
  if (ec) return false;

  std::ostringstream entry;
  entry << "[Desktop Entry]\n"
        << "Type=Application\n"
        << "Name=" << name << "\n"
        << "Exec=" << EncodeExec(commandLine) << "\n"
        << "Terminal=false\n";

  // Written aside and renamed over the old one, so a crash never leaves half an entry; the
  // file aside is a new one of its own, never a name someone else could have put there.
  const std::string text = entry.str();
  const auto replacement = FileReplacement::Begin(file);
  return replacement && replacement->Commit(std::as_bytes(std::span(text.data(), text.size())));
}

bool XdgAutostartList::Remove(std::string_view name) {
  const std::filesystem::path file = EntryFile(name);
  if (file.empty()) return false;
  std::error_code ec;
  std::filesystem::remove(file, ec);
  return !ec;
}
