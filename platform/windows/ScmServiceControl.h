#pragma once

#ifdef _WIN32

#include "platform/ServiceControl.h"

// The service control manager of the local machine's active database. The manager is opened
// to execute, a service to query its status, start and stop.
class ScmServiceControl : public ServiceControl {
 public:
  ScmServiceControl() = default;
  ~ScmServiceControl() override;
  ScmServiceControl(const ScmServiceControl&) = delete;
  ScmServiceControl& operator=(const ScmServiceControl&) = delete;

  bool OpenManager() override;
  bool OpenByName(std::string_view name) override;
  bool QueryStatus(ServiceStatus& status) override;
  bool RequestStart() override;
  bool RequestStop() override;
  void CloseService() override;
  void CloseManager() override;

 private:
  void* manager_ = nullptr;  // SC_HANDLE
  void* service_ = nullptr;  // SC_HANDLE
};

#endif
