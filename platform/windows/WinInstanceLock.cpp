#ifdef _WIN32

#include "platform/windows/WinInstanceLock.h"

#include <windows.h>

#include <utility>

namespace {

constexpr wchar_t kActivationClass[] = L"PYXTUNE_Activation";

UINT ActivationMessage() {
  static const UINT message = RegisterWindowMessageW(L"PYXTUNE_Activate");
  return message;
}

// The handler lives in the lock, which outlives its window; the window holds its address.
LRESULT CALLBACK ActivationProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == ActivationMessage()) {
    auto* handler = reinterpret_cast<InstanceLock::ActivationHandler*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (handler && *handler) (*handler)({});
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

WinInstanceLock::~WinInstanceLock() {
  if (window_) DestroyWindow(static_cast<HWND>(window_));
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
    OpenActivationWindow();
  }
  return result_;
}

bool WinInstanceLock::ActivateFirstCopy() {
  HWND window = FindWindowExW(HWND_MESSAGE, nullptr, kActivationClass, nullptr);
  if (!window) return false;
  // The later start is the one in the foreground; it hands that right on to the first copy.
  DWORD holder = 0;
  GetWindowThreadProcessId(window, &holder);
  if (holder != 0) AllowSetForegroundWindow(holder);
  return PostMessageW(window, ActivationMessage(), 0, 0) != FALSE;
}

void WinInstanceLock::SetActivationHandler(ActivationHandler handler) {
  handler_ = std::move(handler);
  if (result_ == InstanceLockResult::Acquired) OpenActivationWindow();
}

void WinInstanceLock::OpenActivationWindow() {
  if (window_ || !handler_) return;
  HINSTANCE module = GetModuleHandleW(nullptr);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = ActivationProc;
  windowClass.hInstance = module;
  windowClass.lpszClassName = kActivationClass;
  RegisterClassExW(&windowClass);  // fails harmlessly when this process registered it before
  HWND window = CreateWindowExW(0, kActivationClass, nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, module, nullptr);
  if (!window) return;
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&handler_));
  window_ = window;
}

#endif
