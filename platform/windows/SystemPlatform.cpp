#ifdef _WIN32

#include "platform/SystemPlatform.h"

#include <windows.h>

#include <vector>

#include "platform/windows/MessageBoxSink.h"
#include "platform/windows/ScmServiceControl.h"
#include "platform/windows/WinInstanceLock.h"
#include "platform/windows/WinProcessLauncher.h"
#include "platform/windows/WindowsLogonRunList.h"

std::unique_ptr<InstanceLock> CreateSystemInstanceLock() {
  return std::make_unique<WinInstanceLock>();
}

std::unique_ptr<LogonRunList> CreateSystemLogonRunList() {
  return std::make_unique<WindowsLogonRunList>();
}

std::unique_ptr<ServiceControl> CreateSystemServiceControl() {
  return std::make_unique<ScmServiceControl>();
}

std::unique_ptr<ProcessLauncher> CreateSystemProcessLauncher() {
  return std::make_unique<WinProcessLauncher>();
}

std::unique_ptr<MessageSink> CreateSystemMessageSink() {
  return std::make_unique<MessageBoxSink>();
}

std::filesystem::path CurrentProgramFile() {
  // Grown until the whole path fits: a long install folder must not be cut short.
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length =
        GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return std::filesystem::path(std::wstring(buffer.data(), length));
    if (buffer.size() >= 32768) return {};
    buffer.resize(buffer.size() * 2);
  }
}

#endif
