#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "platform/ProcessLauncher.h"
#include "platform/ServiceControl.h"

// systemd through systemctl. A service "X" is the unit "X.service". Start and stop only queue
// the job (--no-block), as the Windows manager does, so callers follow the state themselves.
class SystemdServiceControl : public ServiceControl {
 public:
  // `bootedMarker` exists while systemd runs the machine.
  explicit SystemdServiceControl(std::unique_ptr<ProcessLauncher> launcher,
                                 std::filesystem::path bootedMarker = "/run/systemd/system");

  bool OpenManager() override;
  bool OpenByName(std::string_view name) override;
  bool QueryStatus(ServiceStatus& status) override;
  bool RequestStart() override;
  bool RequestStop() override;
  void CloseService() override;
  void CloseManager() override;

  // systemd gives no wait hints; polls are paced with these instead.
  static constexpr std::uint32_t kPendingHintMs = 250;
  static constexpr std::uint32_t kSettledHintMs = 100;

 private:
  ProcessOutcome Systemctl(std::vector<std::string> args);
  bool ShowProperty(const std::string& property, std::string& value);

  std::unique_ptr<ProcessLauncher> launcher_;
  std::filesystem::path bootedMarker_;
  bool managerOpen_ = false;
  std::string unit_;  // empty: no service open
};
