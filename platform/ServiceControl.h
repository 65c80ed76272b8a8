#pragma once

#include <cstdint>
#include <string_view>

// State values are those of the Windows service control manager, so that its reports pass
// through unchanged; other service managers map onto them.
enum class ServiceState : std::uint32_t {
  Stopped = 1,
  StartPending = 2,
  StopPending = 3,
  Running = 4,
  ContinuePending = 5,
  PausePending = 6,
  Paused = 7,
};

struct ServiceStatus {
  ServiceState state = ServiceState::Stopped;
  std::uint32_t waitHintMs = 0;  // how long the manager expects a pending change to take
};

// One connection to the system's service manager holding at most one open service. The steps
// mirror the manager's own handles, so callers close exactly what they opened; whatever is
// still open is closed when the object goes away.
class ServiceControl {
 public:
  virtual ~ServiceControl() = default;

  // False when there is no service manager or it refuses the connection.
  virtual bool OpenManager() = 0;
  // Needs an open manager. False when the manager does not know the service.
  virtual bool OpenByName(std::string_view name) = 0;
  virtual bool QueryStatus(ServiceStatus& status) = 0;
  // Both only ask for the change; the state is then followed with QueryStatus.
  // (The names keep clear of the Windows header's OpenService/StartService macros.)
  virtual bool RequestStart() = 0;
  virtual bool RequestStop() = 0;
  virtual void CloseService() = 0;
  virtual void CloseManager() = 0;
};
