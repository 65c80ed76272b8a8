#include "app/LedService.h"

#include <algorithm>
#include <system_error>
#include <thread>

#include "app/CoreTexts.h"
#include "app/LedServiceScripts.h"

namespace {

void CloseBoth(ServiceControl& services) {
  services.CloseService();
  services.CloseManager();
}

// Follows the service after a start or stop request: sleeps the last wait hint, then looks
// whether the last status is the target, then asks again. Ends at the target, when a query
// fails, or when the time allowed is used up.
bool WaitForState(ServiceControl& services, ServiceState target, const ServicePollTiming& timing) {
  ServiceStatus status;
  if (!services.QueryStatus(status)) return false;
  const auto start = timing.now();
  for (;;) {
    const auto used = std::chrono::duration_cast<std::chrono::milliseconds>(timing.now() - start);
    const auto left = timing.limit - used;
    const std::chrono::milliseconds hint(status.waitHintMs);
    timing.sleep(std::clamp(hint, timing.shortestPause,
                            std::max(left, timing.shortestPause)));
    if (status.state == target) return true;
    if (timing.now() - start >= timing.limit) return false;
    if (!services.QueryStatus(status)) return false;
  }
}

}  // namespace

ServicePollTiming ServicePollTiming::System() {
  ServicePollTiming timing;
  timing.now = [] { return std::chrono::steady_clock::now(); };
  timing.sleep = [](std::chrono::milliseconds pause) { std::this_thread::sleep_for(pause); };
  return timing;
}

void QueryLedService(ServiceControl& services, bool& ledServiceInstalled) {
  if (!services.OpenManager()) return;
  ledServiceInstalled = services.OpenByName(kLedServiceName);
  if (ledServiceInstalled) services.CloseService();
  services.CloseManager();
}

void ToggleLedService(ServiceControl& services, MessageSink& messages, bool& ledServiceInstalled,
                      const ServicePollTiming& timing) {
  if (!services.OpenManager()) return;
  if (!services.OpenByName(kLedServiceName)) {
    ledServiceInstalled = false;
    services.CloseManager();
    return;
  }
  ledServiceInstalled = true;

  ServiceStatus status;
  if (!services.QueryStatus(status)) {
    CloseBoth(services);
    return;
  }
  const char* success = nullptr;
  if (status.state == ServiceState::Running) {
    if (services.RequestStop() && WaitForState(services, ServiceState::Stopped, timing)) {
      success = kLedServiceStoppedText;
    }
  } else if (status.state == ServiceState::Stopped) {
    if (services.RequestStart() && WaitForState(services, ServiceState::Running, timing)) {
      success = kLedServiceStartedText;
    }
  }
  // A start or stop still pending, or a paused service: nothing to do.
  CloseBoth(services);
  if (success) messages.ShowMessage(success, kLedServiceCaption, MessageIcon::None);
}

void StopLedServiceForRemoval(ServiceControl& services, const ServicePollTiming& timing) {
  if (!services.OpenByName(kLedServiceName)) {
    services.CloseManager();
    return;
  }
  ServiceStatus status;
  if (services.QueryStatus(status) && status.state == ServiceState::Running &&
      services.RequestStop()) {
    WaitForState(services, ServiceState::Stopped, timing);
  }
  CloseBoth(services);
}

#ifdef _WIN32
bool InstallLedService(ProcessLauncher& launcher, const std::filesystem::path& scriptFolder) {
  return launcher.RunScript(scriptFolder / std::string(InstallScriptName()));
}

bool UninstallLedService(ServiceControl& services, ProcessLauncher& launcher,
                         const std::filesystem::path& programFolder,
                         const ServicePollTiming& timing) {
  if (services.OpenManager()) StopLedServiceForRemoval(services, timing);
  return launcher.RunScript(programFolder / std::string(RemoveScriptName()));
}
#endif
