#pragma once

#ifdef _WIN32

#include <functional>

#include "platform/InstanceLock.h"

// The machine-wide named mutex "Global\PYXTUNE_App_Mutex". A copy of the same user finds it
// existing; one of another session cannot open it at all. The second copy raises the first's
// window itself, found by its title "PYXTUNE", so the activation handler is never called.
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
  void* mutex_ = nullptr;  // HANDLE
  bool tried_ = false;
  InstanceLockResult result_ = InstanceLockResult::Unavailable;
  ActivationHandler handler_;
};

#endif
