#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/ServiceControl.h"

// In-memory service manager. A start or stop plays a list of statuses, one per later query
// (the last one repeats), so a test can make a service pass through pending states, settle,
// fall back, or hang. Every call is logged in `calls`.
class FakeServiceControl : public ServiceControl {
 public:
  struct Service {
    ServiceStatus status{ServiceState::Stopped, 0};
    std::vector<ServiceStatus> afterStart{{ServiceState::StartPending, 200},
                                          {ServiceState::Running, 0}};
    std::vector<ServiceStatus> afterStop{{ServiceState::StopPending, 200},
                                         {ServiceState::Stopped, 0}};
    bool startFails = false;
    bool stopFails = false;
    int queriesBeforeFailure = -1;  // queries that still succeed; -1: all of them
  };

  bool OpenManager() override;
  bool OpenByName(std::string_view name) override;
  bool QueryStatus(ServiceStatus& status) override;
  bool RequestStart() override;
  bool RequestStop() override;
  void CloseService() override;
  void CloseManager() override;

  bool managerAvailable = true;
  std::map<std::string, Service, std::less<>> services;
  std::vector<std::string> calls;

  bool managerOpen() const { return managerOpen_; }
  bool serviceOpen() const { return open_ != nullptr; }

 private:
  bool managerOpen_ = false;
  Service* open_ = nullptr;
  std::vector<ServiceStatus> playing_;
  std::size_t next_ = 0;
};
