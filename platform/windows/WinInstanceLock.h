#pragma once

#ifdef _WIN32

#include <functional>

#include "platform/InstanceLock.h"

// The machine-wide named mutex "Global\PYXTUNE_App_Mutex". A copy of the same user finds it
// existing; one of another session cannot open it at all. The copy that holds it keeps a
// message-only window of the class "PYXTUNE_Activation" on the thread that gave the handler;
// a later copy posts it a message there and lets it take the foreground, and the handler runs
// on that thread's message loop. The later copy never shows the first's window itself: a
// window shown behind its toolkit's back stays blank, since the toolkit still thinks it hidden.
class WinInstanceLock : public InstanceLock {
 public:
  WinInstanceLock() = default;
  ~WinInstanceLock() override;
  WinInstanceLock(const WinInstanceLock&) = delete;
  WinInstanceLock& operator=(const WinInstanceLock&) = delete;

  InstanceLockResult Acquire() override;
  bool ActivateFirstCopy() override;
  void SetActivationHandler(ActivationHandler handler) override;

 private:
  // The holder's activation window, once it both holds the lock and has a handler.
  void OpenActivationWindow();

  void* mutex_ = nullptr;   // HANDLE
  void* window_ = nullptr;  // HWND
  bool tried_ = false;
  InstanceLockResult result_ = InstanceLockResult::Unavailable;
  ActivationHandler handler_;
};

#endif
