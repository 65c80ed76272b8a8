#include "platform/ProcessIdentity.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <cstdint>
#include <csignal>
#include <unistd.h>
#endif

unsigned long CurrentProcessId() {
#ifdef _WIN32
  return GetCurrentProcessId();
#else
  return static_cast<unsigned long>(::getpid());
#endif
}

bool ProcessRuns(unsigned long pid) {
#ifdef _WIN32
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
  if (process == nullptr) return GetLastError() != ERROR_INVALID_PARAMETER;
  const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  CloseHandle(process);
  return running;
#else
  if (pid == 0 || pid > static_cast<unsigned long>(INT32_MAX)) return true;
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH;
#endif
}

bool RunsAsAdministrator() {
#ifdef _WIN32
  // The programs' manifest asks Windows for administrator rights before they start.
  return true;
#else
  return ::geteuid() == 0;
#endif
}
