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
// %1 the program's file name, %2 the folder it is missing from.
inline constexpr char kLedServiceProgramMissingText[] =
    "The LED service program \"%1\" is missing from %2, so the LED service was not installed.";

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

// Whether installation first makes sure the service program is there. Windows hands its
// script to the shell as it always has. Elsewhere a unit whose program is missing could never
// start, and nothing ships "LumoraService.exe" for these systems yet, so without the program
// nothing is installed.
enum class ServiceProgramCheck { None, Required };
#ifdef _WIN32
inline constexpr ServiceProgramCheck kServiceProgramCheck = ServiceProgramCheck::None;
#else
inline constexpr ServiceProgramCheck kServiceProgramCheck = ServiceProgramCheck::Required;
#endif

// Tells the user, in the user's language, the service program beside `programFolder` is missing.
std::string MissingServiceProgramMessage(const std::filesystem::path& programFolder);

// Hands the install script beside the program to the system's shell. Nothing waits for it and
// the installed flag is left alone: the next query sees the result. Where the check applies
// and the service program is missing, says so and installs nothing (returns false).
bool InstallLedService(ProcessLauncher& launcher, MessageSink& messages,
                       const std::filesystem::path& programFolder, const std::filesystem::path& scriptFolder,
                       ServiceProgramCheck check = kServiceProgramCheck);

// Stops the service when the manager can be reached, then hands the remove script to the shell
// in any case.
bool UninstallLedService(ServiceControl& services, ProcessLauncher& launcher,
                         const std::filesystem::path& programFolder,
                         const ServicePollTiming& timing = ServicePollTiming::System());
