#include "cli/MonitorCommand.h"

#include <chrono>

#include <nlohmann/json.hpp>

#include "app/FanSafety.h"
#include "app/MonitorReadouts.h"
#include "cli/CliArgs.h"
#include "cli/CliInterrupt.h"
#include "cli/CliService.h"
#include "cli/CliSession.h"
#include "cli/KeepPrompt.h"

namespace pyx {

namespace {

const char* kMonitorHelp =
    "usage: pyxtunectl monitor [--gpu N] [--count N] [--interval MS] [--json]\n"
    "  The window's readouts of one GPU: graphics and memory clock (MHz), temperature (C), fan\n"
    "  (percent, or RPM on a tachometer-driven fan) and load (percent). It only reads, with one\n"
    "  exception: a fan fixed at a level (by this program or another) is handed back to the\n"
    "  card's own control when its GPU reaches its thermal limit or its temperature can no\n"
    "  longer be read; each hand-back is a line of its own (exit status 1 at the end when a card\n"
    "  refused one).\n"
    "  --gpu N         the GPU to read (default 0)\n"
    "  --count N       readings to take (default 1; 0: until Ctrl-C)\n"
    "  --interval MS   time between readings (default 1000, as the window)\n"
    "  --json          one JSON object per reading and line, and per hand-back\n"
    "  When the Pyxtune service owns the cards, it takes the readings and keeps that fan watch\n"
    "  itself (its hand-backs are in its log).\n";

const char* HandBackReasonKey(FanHandBackReason reason) {
    return reason == FanHandBackReason::ThermalLimit ? "thermalLimit" : "temperatureLost";
}

// One hand-back as a JSON line; its refusals with the fields apply's document gives them.
nlohmann::json HandBackJson(const FanHandBack& handBack, const std::string& backend) {
    nlohmann::json refusals = nlohmann::json::array();
    for (const TuningWriteResult& r : handBack.writes.Refusals())
        refusals.push_back(RefusalJson(r));
    // Temperature and limit were read only for the thermal limit; a lost temperature has none.
    const bool thermal = handBack.reason == FanHandBackReason::ThermalLimit;
    return {{"backend", backend},
            {"event", "fanHandBack"},
            {"gpu", handBack.gpu},
            {"reason", HandBackReasonKey(handBack.reason)},
            {"temperatureC", thermal ? nlohmann::json(handBack.temperatureC) : nlohmann::json(nullptr)},
            {"limitC", thermal ? nlohmann::json(handBack.limitC) : nlohmann::json(nullptr)},
            {"refusals", refusals}};
}

// The same readings from the service, which keeps the fan watch itself.
int MonitorThroughService(ServiceClient& service, const CliArgs& parsed, int64_t count, int64_t intervalMs, bool json,
                          std::ostream& out, std::ostream& err) {
    std::optional<int64_t> gpu = 0;
    if (!parsed.Int("--gpu", 0, 1000000, gpu, err)) return kExitUsage;
    ServiceRequest request;
    request.kind = RequestKind::Monitor;
    request.gpu = static_cast<int>(*gpu);
    CliInterrupt::Install();
    if (!json) out << service.BackendLine() << "\n";
    for (int64_t taken = 0; count == 0 || taken < count; ++taken) {
        if (taken > 0 && !CliInterrupt::Wait(std::chrono::milliseconds(intervalMs))) break;
        int exitCode = kExitOk;
        const auto answer = CliService::Ask(service, request, parsed.Prefix(), err, exitCode);
        if (!answer) return exitCode;
        const nlohmann::json& reading = answer->at("reading");
        out << (json ? reading.dump() : ReadingsLine(reading)) << "\n";
        out.flush();
    }
    return kExitOk;
}

}  // namespace

int RunMonitorCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CliArgs parsed("monitor", args);
    if (!parsed.Parse({"--json", "--help"}, {"--gpu", "--count", "--interval"}, err)) return kExitUsage;
    if (parsed.Has("--help")) {
        out << kMonitorHelp;
        return kExitOk;
    }
    if (!parsed.Words().empty()) {
        err << parsed.Prefix() << "unknown argument \"" << parsed.Words().front()
            << "\" (accepted: --gpu, --count, --interval, --json, --help)\n";
        return kExitUsage;
    }
    std::optional<int64_t> count = 1;
    std::optional<int64_t> intervalMs = 1000;
    if (!parsed.Int("--count", 0, 1000000, count, err) || !parsed.Int("--interval", 10, 3600000, intervalMs, err))
        return kExitUsage;
    const bool json = parsed.Has("--json");

    int exitCode = kExitOk;
    if (auto service = CliService::Open(err, exitCode))
        return MonitorThroughService(*service, parsed, *count, *intervalMs, json, out, err);
    if (exitCode != kExitOk) return exitCode;
    auto session = CliSession::Open(err, exitCode, DiscoveryWrites::Withheld);
    if (!session) return exitCode;
    const auto gpu = session->SelectGpu(parsed, err);
    if (!gpu) return kExitUsage;

    // Fans fixed before this run (by apply, the window, another program) are watched too: a
    // monitor left running is what notices a card heating up under a fixed fan.
    FanSafety safety(session->Boards());
    safety.WatchManualFans();
    bool handBackRefused = false;

    CliInterrupt::Install();
    if (!json) out << session->BackendLine() << "\n";
    for (int64_t taken = 0; *count == 0 || taken < *count; ++taken) {
        if (taken > 0 && !CliInterrupt::Wait(std::chrono::milliseconds(*intervalMs))) break;
        const nlohmann::json reading =
            ReadingsJson(*gpu, ReadMonitors(session->Boards(), *gpu), session->Library().BackendName());
        out << (json ? reading.dump() : ReadingsLine(reading)) << "\n";
        for (const FanHandBack& handBack : safety.Tick()) {
            handBackRefused = handBackRefused || handBack.writes.AnyRefused();
            if (json)
                out << HandBackJson(handBack, session->Library().BackendName()).dump() << "\n";
            else
                out << DescribeHandBack(handBack) << "\n";
        }
        out.flush();
    }
    return handBackRefused ? kExitHardware : kExitOk;
}

}  // namespace pyx
