#include "tests/support/FakeServiceControl.h"

bool FakeServiceControl::OpenManager() {
  calls.push_back("OpenManager");
  managerOpen_ = managerAvailable;
  return managerOpen_;
}

bool FakeServiceControl::OpenByName(std::string_view name) {
  calls.push_back("OpenByName " + std::string(name));
  if (!managerOpen_) return false;
  auto it = services.find(name);
  if (it == services.end()) return false;
  open_ = &it->second;
  playing_.clear();
  return true;
}

bool FakeServiceControl::QueryStatus(ServiceStatus& status) {
  calls.push_back("QueryStatus");
  if (!open_) return false;
  if (open_->queriesBeforeFailure == 0) return false;
  if (open_->queriesBeforeFailure > 0) --open_->queriesBeforeFailure;
  if (!playing_.empty()) {
    open_->status = playing_[next_];
    if (next_ + 1 < playing_.size()) ++next_;
  }
  status = open_->status;
  return true;
}

bool FakeServiceControl::RequestStart() {
  calls.push_back("RequestStart");
  if (!open_ || open_->startFails || open_->status.state != ServiceState::Stopped) return false;
  playing_ = open_->afterStart;
  next_ = 0;
  return true;
}

bool FakeServiceControl::RequestStop() {
  calls.push_back("RequestStop");
  if (!open_ || open_->stopFails || open_->status.state == ServiceState::Stopped) return false;
  playing_ = open_->afterStop;
  next_ = 0;
  return true;
}

void FakeServiceControl::CloseService() {
  calls.push_back("CloseService");
  open_ = nullptr;
  playing_.clear();
}

void FakeServiceControl::CloseManager() {
  calls.push_back("CloseManager");
  managerOpen_ = false;
}
