#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "platform/MessageSink.h"
#include "platform/ProcessLauncher.h"
#include "platform/ServiceControl.h"

// The separate LED background service that lies beside the program: its identity, and the
// steps that query, start, stop, install and remove it. `ledServiceInstalled` belongs to the
// application; these steps update it.
inline constexpr std::string_view kLedServiceName = "LumoraServices";
inline constexpr std::string_view kLedServiceProgram = "LumoraService.exe";
inline constexpr std::string_view kLedServiceCaption = "Pyxtune";
// What a start or stop that reached its state says.
inline constexpr char kLedServiceStartedText[] = "start success.";
inline constexpr char kLedServiceStoppedText[] = "stop success.";

// How long the start/stop waits follow a service that does not reach its state, and the clock
// they use (tests put in their own).
struct ServicePollTiming {
  std::function<std::chrono::steady_clock::time_point()> now;
  std::function<void(std::chrono::milliseconds)> sleep;
  std::chrono::milliseconds limit{30000};
  // Even a service that reports no wait hint is not asked again at once.
  std::chrono::milliseconds shortestPause{10};

  static ServicePollTiming System();
};

// Sets `ledServiceInstalled` from whether the manager knows the service; leaves it alone when
// there is no service manager to ask.
void QueryLedService(ServiceControl& services, bool& ledServiceInstalled);

// Stops a running service or starts a stopped one and waits for it, telling the user
// "stop success." or "start success."; a pending or paused service is left alone. Every other
// failure, and a service that has not got there within the limit, ends silently.
void ToggleLedService(ServiceControl& services, MessageSink& messages, bool& ledServiceInstalled,
                      const ServicePollTiming& timing = ServicePollTiming::System());

// Given a connection whose manager is open (and which it closes): stops the service when it
// runs and waits for it, silently. Leaves the installed flag alone.
void StopLedServiceForRemoval(ServiceControl& services,
                              const ServicePollTiming& timing = ServicePollTiming::System());

#ifdef _WIN32
// Windows only: on Linux the Pyxtune service keeps the lighting running, and the window
// writes no install or remove script there.

// Hands the install script to the system's shell. Nothing waits for it and the installed flag
// is left alone: the next query sees the result.
bool InstallLedService(ProcessLauncher& launcher, const std::filesystem::path& scriptFolder);

// Stops the service when the manager can be reached, then hands the remove script to the shell
// in any case.
bool UninstallLedService(ServiceControl& services, ProcessLauncher& launcher,
                         const std::filesystem::path& programFolder,
                         const ServicePollTiming& timing = ServicePollTiming::System());
#endif
