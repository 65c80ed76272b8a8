#ifdef _WIN32

#include "platform/windows/WinInstanceLock.h"

#include <windows.h>

#include <utility>

WinInstanceLock::~WinInstanceLock() {
  // Held for the program's whole life; the system would free it at exit all the same.
  if (mutex_) CloseHandle(static_cast<HANDLE>(mutex_));
}

InstanceLockResult WinInstanceLock::Acquire() {
  if (tried_) return result_;
  tried_ = true;
  HANDLE mutex = CreateMutexW(nullptr, TRUE, L"Global\\PYXTUNE_App_Mutex");
  if (!mutex) {
    // Refused: another user's copy made it with security this user does not pass.
    result_ = InstanceLockResult::HeldByOtherUser;
  } else if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    result_ = InstanceLockResult::HeldBySameUser;
  } else {
    mutex_ = mutex;
    result_ = InstanceLockResult::Acquired;
  }
  return result_;
}

bool WinInstanceLock::ActivateFirstCopy() {
  HWND window = FindWindowW(nullptr, L"PYXTUNE");
  if (!window) return false;
  ShowWindow(window, SW_SHOWNORMAL);
  SetForegroundWindow(window);
  return true;
}

void WinInstanceLock::SetActivationHandler(ActivationHandler handler) {
  handler_ = std::move(handler);
}

#endif
