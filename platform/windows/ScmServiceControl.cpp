#ifdef _WIN32

#include "platform/windows/ScmServiceControl.h"

#include <windows.h>

#include "platform/windows/WinText.h"

ScmServiceControl::~ScmServiceControl() {
  CloseService();
  CloseManager();
}

bool ScmServiceControl::OpenManager() {
  CloseManager();
  manager_ = OpenSCManagerW(nullptr, nullptr, GENERIC_EXECUTE);
  return manager_ != nullptr;
}

bool ScmServiceControl::OpenByName(std::string_view name) {
  CloseService();
  if (!manager_) return false;
  service_ = OpenServiceW(static_cast<SC_HANDLE>(manager_), Utf8ToWide(name).c_str(),
                          SERVICE_QUERY_STATUS | SERVICE_START | SERVICE_STOP);
  return service_ != nullptr;
}

bool ScmServiceControl::QueryStatus(ServiceStatus& status) {
  if (!service_) return false;
  SERVICE_STATUS raw{};
  if (!QueryServiceStatus(static_cast<SC_HANDLE>(service_), &raw)) return false;
  status.state = static_cast<ServiceState>(raw.dwCurrentState);
  status.waitHintMs = raw.dwWaitHint;
  return true;
}

bool ScmServiceControl::RequestStart() {
  return service_ && StartServiceW(static_cast<SC_HANDLE>(service_), 0, nullptr);
}

bool ScmServiceControl::RequestStop() {
  SERVICE_STATUS raw{};
  return service_ && ControlService(static_cast<SC_HANDLE>(service_), SERVICE_CONTROL_STOP, &raw);
}

void ScmServiceControl::CloseService() {
  if (service_) CloseServiceHandle(static_cast<SC_HANDLE>(service_));
  service_ = nullptr;
}

void ScmServiceControl::CloseManager() {
  if (manager_) CloseServiceHandle(static_cast<SC_HANDLE>(manager_));
  manager_ = nullptr;
}

#endif
