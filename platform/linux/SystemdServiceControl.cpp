#include "platform/linux/SystemdServiceControl.h"

#include <chrono>
#include <sstream>
#include <system_error>

namespace {

constexpr std::chrono::seconds kSystemctlTimeout{10};

// systemd's unit names allow letters, digits and ":-_.\"; anything else is not a service this
// program asks for, and must not reach systemctl as an option either.
bool UnitNameAllowed(std::string_view name) {
  if (name.empty() || name.front() == '-') return false;
  for (const char c : name) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == ':' || c == '-' || c == '_' || c == '.' || c == '\\' || c == '@';
    if (!ok) return false;
  }
  return true;
}

}  // namespace

SystemdServiceControl::SystemdServiceControl(std::unique_ptr<ProcessLauncher> launcher,
                                             std::filesystem::path bootedMarker)
    : launcher_(std::move(launcher)), bootedMarker_(std::move(bootedMarker)) {}

ProcessOutcome SystemdServiceControl::Systemctl(std::vector<std::string> args) {
  return launcher_->RunHidden({"systemctl", std::move(args), {}}, kSystemctlTimeout);
}

bool SystemdServiceControl::ShowProperty(const std::string& property, std::string& value) {
  const ProcessOutcome out = Systemctl({"show", "--property=" + property, "--", unit_});
  if (!out.started || out.timedOut || out.exitCode != 0) return false;
  std::istringstream lines(out.output);
  std::string line;
  const std::string prefix = property + "=";
  while (std::getline(lines, line)) {
    if (line.rfind(prefix, 0) == 0) {
      value = line.substr(prefix.size());
      return true;
    }
  }
  return false;
}

bool SystemdServiceControl::OpenManager() {
  std::error_code ec;
  if (!std::filesystem::is_directory(bootedMarker_, ec)) return false;
  const ProcessOutcome out = Systemctl({"--version"});
  managerOpen_ = out.started && !out.timedOut && out.exitCode == 0;
  return managerOpen_;
}

bool SystemdServiceControl::OpenByName(std::string_view name) {
  unit_.clear();
  if (!managerOpen_ || !UnitNameAllowed(name)) return false;
  unit_ = std::string(name) + ".service";
  std::string load;
  // "not-found" for a service nobody installed; "masked" cannot be started either.
  if (!ShowProperty("LoadState", load) || load != "loaded") {
    unit_.clear();
    return false;
  }
  return true;
}

bool SystemdServiceControl::QueryStatus(ServiceStatus& status) {
  std::string active;
  if (unit_.empty() || !ShowProperty("ActiveState", active)) return false;
  if (active == "active" || active == "reloading" || active == "refreshing") {
    status = {ServiceState::Running, kSettledHintMs};
  } else if (active == "inactive" || active == "failed") {
    status = {ServiceState::Stopped, kSettledHintMs};
  } else if (active == "activating") {
    status = {ServiceState::StartPending, kPendingHintMs};
  } else if (active == "deactivating") {
    status = {ServiceState::StopPending, kPendingHintMs};
  } else {
    return false;  // a state this program has no word for
  }
  return true;
}

bool SystemdServiceControl::RequestStart() {
  if (unit_.empty()) return false;
  const ProcessOutcome out = Systemctl({"start", "--no-block", "--", unit_});
  return out.started && !out.timedOut && out.exitCode == 0;
}

bool SystemdServiceControl::RequestStop() {
  if (unit_.empty()) return false;
  const ProcessOutcome out = Systemctl({"stop", "--no-block", "--", unit_});
  return out.started && !out.timedOut && out.exitCode == 0;
}

void SystemdServiceControl::CloseService() { unit_.clear(); }

void SystemdServiceControl::CloseManager() {
  unit_.clear();
  managerOpen_ = false;
}
