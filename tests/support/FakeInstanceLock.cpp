#include "tests/support/FakeInstanceLock.h"

#include <utility>

FakeInstanceLock::FakeInstanceLock(std::shared_ptr<Machine> machine, int user)
    : machine_(std::move(machine)), user_(user) {}

FakeInstanceLock::~FakeInstanceLock() {
  if (acquired_) {
    machine_->held = false;
    machine_->holderHandler = nullptr;
  }
}

InstanceLockResult FakeInstanceLock::Acquire() {
  if (tried_) return first_;
  tried_ = true;
  if (machine_->lockBroken) {
    first_ = InstanceLockResult::Unavailable;
  } else if (!machine_->held) {
    machine_->held = true;
    machine_->holderUser = user_;
    acquired_ = true;
    first_ = InstanceLockResult::Acquired;
  } else {
    first_ = machine_->holderUser == user_ ? InstanceLockResult::HeldBySameUser
                                           : InstanceLockResult::HeldByOtherUser;
  }
  return first_;
}

bool FakeInstanceLock::ActivateFirstCopy() {
  if (acquired_ || !machine_->held || machine_->holderUser != user_) return false;
  ++machine_->activationsDelivered;
  if (machine_->holderHandler) machine_->holderHandler(activationToken);
  return true;
}

void FakeInstanceLock::SetActivationHandler(ActivationHandler handler) {
  if (acquired_) machine_->holderHandler = std::move(handler);
}
