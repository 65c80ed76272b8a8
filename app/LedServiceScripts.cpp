#include "app/LedServiceScripts.h"

#include <span>

#ifdef _WIN32
#include <windows.h>
#endif

#include "app/LedService.h"
#include "platform/FileReplacement.h"

namespace {

constexpr std::string_view kUnitFolder = "/etc/systemd/system";

enum class ScriptKind { Text, Runnable };

// Replaced whole by a new file of its own: the folder may be one others can write, and a name
// they planted there (a link to a file of root's) is replaced, never written through. A shell
// script is runnable before it takes the old one's place.
bool WriteScript(const std::filesystem::path& file, std::string_view bytes, ScriptKind kind) {
  const auto replacement = FileReplacement::Begin(file);
  if (!replacement || (kind == ScriptKind::Runnable && !replacement->MakeRunnable())) return false;
  return replacement->Commit(std::as_bytes(std::span(bytes.data(), bytes.size())));
}

#ifdef _WIN32
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
#endif

}  // namespace

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

std::string SystemdQuotedPath(std::string_view path) {
  std::string quoted = "\"";
  for (const char c : path) {
    switch (c) {
      case '\\': quoted += "\\\\"; break;
      case '"': quoted += "\\\""; break;
      case '\n': quoted += "\\n"; break;
      case '%': quoted += "%%"; break;  // unit specifier
      case '$': quoted += "$$"; break;  // variable expansion
      default: quoted += c;
    }
  }
  quoted += '"';
  return quoted;
}

std::string SystemdInstallScript(const std::filesystem::path& programFolder) {
  const std::string service(kLedServiceName);
  const std::u8string path = (programFolder / std::string(kLedServiceProgram)).u8string();
  const std::string program(path.begin(), path.end());
  std::string script = "#!/bin/sh\n";
  script += "# Installs the LED service " + service + "; it starts automatically at boot.\n";
  script += "set -e\n";
  // The delimiter is quoted, so the shell takes the unit text as it stands.
  script += "cat > " + std::string(kUnitFolder) + "/" + service + ".service <<'PYXTUNE_UNIT'\n";
  script += "[Unit]\nDescription=" + service + " LED service\n\n";
  script += "[Service]\nExecStart=" + SystemdQuotedPath(program) + "\n\n";
  script += "[Install]\nWantedBy=multi-user.target\n";
  script += "PYXTUNE_UNIT\n";
  script += "systemctl daemon-reload\n";
  script += "systemctl enable " + service + ".service\n";
  return script;
}

std::string SystemdRemoveScript() {
  const std::string service(kLedServiceName);
  std::string script = "#!/bin/sh\n";
  script += "# Removes the LED service " + service + ".\n";
  script += "systemctl disable " + service + ".service\n";
  script += "rm -f " + std::string(kUnitFolder) + "/" + service + ".service\n";
  script += "systemctl daemon-reload\n";
  return script;
}

#ifdef _WIN32

std::string_view InstallScriptName() { return "setupledservices.bat"; }
std::string_view RemoveScriptName() { return "deleteledservices.bat"; }

int WriteInstallScript(const std::filesystem::path& scriptFolder, const std::filesystem::path& programFolder) {
  const std::string bytes = ToAnsiCodePage(WindowsInstallLine(programFolder.wstring()));
  return WriteScript(scriptFolder / std::string(InstallScriptName()), bytes, ScriptKind::Text) ? 1 : 0;
}

int WriteRemoveScript(const std::filesystem::path& programFolder) {
  return WriteScript(programFolder / std::string(RemoveScriptName()), WindowsRemoveLine(), ScriptKind::Text) ? 1 : 0;
}

#else

std::string_view InstallScriptName() { return "setupledservices.sh"; }
std::string_view RemoveScriptName() { return "deleteledservices.sh"; }

int WriteInstallScript(const std::filesystem::path& scriptFolder, const std::filesystem::path& programFolder) {
  const std::filesystem::path file = scriptFolder / std::string(InstallScriptName());
  return WriteScript(file, SystemdInstallScript(programFolder), ScriptKind::Runnable) ? 1 : 0;
}

int WriteRemoveScript(const std::filesystem::path& programFolder) {
  const std::filesystem::path file = programFolder / std::string(RemoveScriptName());
  return WriteScript(file, SystemdRemoveScript(), ScriptKind::Runnable) ? 1 : 0;
}

#endif

int WriteInstallScript(const std::filesystem::path& programFolder) {
  return WriteInstallScript(programFolder, programFolder);
}
