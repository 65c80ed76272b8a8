#ifdef _WIN32

#include "platform/windows/WinProcessLauncher.h"

#include <windows.h>
#include <shellapi.h>

#include <thread>
#include <vector>

#include "platform/windows/WinText.h"

namespace {

void AppendQuoted(std::wstring& line, const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    line += arg;
    return;
  }
  line += L'"';
  std::size_t backslashes = 0;
  for (const wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes count only in front of a quote: double them there.
    line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    line += c;
  }
  line.append(backslashes * 2, L'\\');
  line += L'"';
}

struct Started {
  PROCESS_INFORMATION info{};
  bool ok = false;
};

Started Launch(const ProcessRequest& request, HANDLE output) {
  Started started;
  std::wstring line = WinProcessLauncher::CommandLine(request);
  std::vector<wchar_t> mutableLine(line.begin(), line.end());
  mutableLine.push_back(L'\0');

  STARTUPINFOW startup{};
  startup.cb = static_cast<DWORD>(sizeof startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  BOOL inherit = FALSE;
  HANDLE nul = INVALID_HANDLE_VALUE;
  if (output) {
    SECURITY_ATTRIBUTES sa{static_cast<DWORD>(sizeof(SECURITY_ATTRIBUTES)), nullptr, TRUE};
    nul = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      &sa, OPEN_EXISTING, 0, nullptr);
    startup.dwFlags |= STARTF_USESTDHANDLES;
    startup.hStdInput = nul;
    startup.hStdOutput = output;
    startup.hStdError = nul;
    inherit = TRUE;
  }
  const std::wstring folder = request.workingFolder.wstring();
  started.ok = CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, inherit,
                              CREATE_NO_WINDOW, nullptr, folder.empty() ? nullptr : folder.c_str(),
                              &startup, &started.info) != FALSE;
  if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
  return started;
}

}  // namespace

std::wstring WinProcessLauncher::CommandLine(const ProcessRequest& request) {
  std::wstring line;
  AppendQuoted(line, request.program.wstring());
  for (const auto& arg : request.args) {
    line += L' ';
    AppendQuoted(line, Utf8ToWide(arg));
  }
  return line;
}

bool WinProcessLauncher::StartHidden(const ProcessRequest& request) {
  return StartWatched(request, nullptr);
}

bool WinProcessLauncher::StartWatched(const ProcessRequest& request, std::shared_ptr<std::atomic<bool>> ended) {
  const Started started = Launch(request, nullptr);
  if (!started.ok) return false;
  CloseHandle(started.info.hThread);
  if (!ended) {
    CloseHandle(started.info.hProcess);
    return true;
  }
  std::thread([process = started.info.hProcess, ended = std::move(ended)] {
    WaitForSingleObject(process, INFINITE);
    CloseHandle(process);
    ended->store(true);
  }).detach();
  return true;
}

ProcessOutcome WinProcessLauncher::RunHidden(const ProcessRequest& request,
                                             std::chrono::milliseconds timeout) {
  ProcessOutcome outcome;
  SECURITY_ATTRIBUTES sa{static_cast<DWORD>(sizeof(SECURITY_ATTRIBUTES)), nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &sa, 0)) return outcome;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  const Started started = Launch(request, writeEnd);
  CloseHandle(writeEnd);
  if (!started.ok) {
    CloseHandle(readEnd);
    return outcome;
  }
  outcome.started = true;

  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeout.count());
  char buffer[4096];
  bool ended = false;
  for (;;) {
    DWORD available = 0;
    if (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
      DWORD got = 0;
      if (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        outcome.output.append(buffer, got);
      }
      continue;
    }
    if (ended) break;  // ended and drained
    ended = WaitForSingleObject(started.info.hProcess, 10) == WAIT_OBJECT_0;
    if (!ended && GetTickCount64() >= deadline) {
      TerminateProcess(started.info.hProcess, 1);
      WaitForSingleObject(started.info.hProcess, INFINITE);
      outcome.timedOut = true;
      break;
    }
  }
  DWORD code = 0;
  if (GetExitCodeProcess(started.info.hProcess, &code)) outcome.exitCode = static_cast<int>(code);
  CloseHandle(readEnd);
  CloseHandle(started.info.hThread);
  CloseHandle(started.info.hProcess);
  return outcome;
}

bool WinProcessLauncher::RunScript(const std::filesystem::path& script) {
  const HINSTANCE result = ShellExecuteW(nullptr, L"open", script.wstring().c_str(), nullptr,
                                         nullptr, SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(result) > 32;
}

#endif
