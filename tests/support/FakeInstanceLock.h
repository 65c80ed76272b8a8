#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/InstanceLock.h"

// In-memory single-instance lock: the copies of one test share a Machine, and each copy
// belongs to a user.
class FakeInstanceLock : public InstanceLock {
 public:
  struct Machine {
    bool held = false;
    int holderUser = 0;
    bool lockBroken = false;  // every Acquire then reports Unavailable
    ActivationHandler holderHandler;
    int activationsDelivered = 0;
  };

  FakeInstanceLock(std::shared_ptr<Machine> machine, int user);
  ~FakeInstanceLock() override;

  InstanceLockResult Acquire() override;
  bool ActivateFirstCopy() override;
  void SetActivationHandler(ActivationHandler handler) override;
  std::string HolderName() const override { return holderName; }

  // The name the system gives this copy for another user's holder (empty: it tells none).
  std::string holderName;
  // The activation token the desktop gave this copy at its start.
  std::string activationToken;

 private:
  std::shared_ptr<Machine> machine_;
  int user_;
  bool acquired_ = false;
  bool tried_ = false;
  InstanceLockResult first_ = InstanceLockResult::Unavailable;
};
