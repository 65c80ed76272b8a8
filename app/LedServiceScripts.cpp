#include "app/LedServiceScripts.h"

#include <span>

#ifdef _WIN32
#include <windows.h>
#endif

#include "platform/FileReplacement.h"

#ifdef _WIN32
namespace {

// Replaced whole by a new file of its own: the folder may be one others can write, and a name
// they planted there is replaced, never written through.
bool WriteScript(const std::filesystem::path& file, std::string_view bytes) {
  const auto replacement = FileReplacement::Begin(file);
  return replacement && replacement->Commit(std::as_bytes(std::span(bytes.data(), bytes.size())));
}

std::string ToAnsiCodePage(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string bytes(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                      nullptr, nullptr);
  return bytes;
}

}  // namespace
#endif

std::wstring WindowsInstallLine(std::wstring_view programFolder) {
  // sc takes its arguments apart as any program does and keeps no quotes of its own: the
  // escaped inner pair is what the service manager stores, so that a folder with blanks
  // cannot make it start C:\Program.exe or the like for the service.
  std::wstring line = L"sc create LumoraServices binPath= \"\\\"";
  // A batch file expands %NAME% even inside quotes: a folder such as "C:\100%\x" must reach
  // sc as written, so each % is doubled.
  for (const wchar_t c : programFolder) {
    line += c;
    if (c == L'%') line += L'%';
  }
  line += L"\\LumoraService.exe\\\"\" start= auto";
  return line;
}

std::string_view WindowsRemoveLine() { return "sc delete LumoraServices"; }

#ifdef _WIN32

std::string_view InstallScriptName() { return "setupledservices.bat"; }
std::string_view RemoveScriptName() { return "deleteledservices.bat"; }

int WriteInstallScript(const std::filesystem::path& scriptFolder, const std::filesystem::path& programFolder) {
  const std::string bytes = ToAnsiCodePage(WindowsInstallLine(programFolder.wstring()));
  return WriteScript(scriptFolder / std::string(InstallScriptName()), bytes) ? 1 : 0;
}

int WriteRemoveScript(const std::filesystem::path& programFolder) {
  return WriteScript(programFolder / std::string(RemoveScriptName()), WindowsRemoveLine()) ? 1 : 0;
}

int WriteInstallScript(const std::filesystem::path& programFolder) {
  return WriteInstallScript(programFolder, programFolder);
}

#endif
