#include "cli/MonitorCommand.h"

#include <chrono>
#include <filesystem>
#include <fstream>

#include <nlohmann/json.hpp>

#include "app/FanSafety.h"
#include "app/HistorySample.h"
#include "app/MonitorReadouts.h"
#include "app/SampleCsv.h"
#include "cli/CliArgs.h"
#include "cli/CliInterrupt.h"
#include "cli/CliService.h"
#include "cli/CliSession.h"
#include "cli/KeepPrompt.h"

namespace pyx {

namespace {

const char* kMonitorHelp =
    "usage: pyxtunectl monitor [--gpu N] [--count N] [--interval MS] [--json|--csv] [--log FILE]\n"
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
    "  --csv           a header, then one CSV line per reading: the time (ISO 8601, UTC), the GPU,\n"
    "                  and each series with its unit in the header, the thermal and power limits in\n"
    "                  force among them; an empty field is one the card did not give. The back-end\n"
    "                  line and hand-backs go to standard error\n"
    "  --log FILE      append the same CSV lines to FILE (the header first when FILE is new or\n"
    "                  empty), each written at once, until Ctrl-C unless --count says otherwise\n"
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

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// Where the readings go: standard output in the chosen form, and the log file when one is named.
class MonitorOutput {
public:
    enum class Form { Text, Json, Csv };

    MonitorOutput(Form form, std::ostream& out, std::ostream& err, std::string prefix)
        : form_(form), out_(out), err_(err), prefix_(std::move(prefix)) {}

    // Opens the log for appending; false after saying why.
    bool OpenLog(const std::string& path) {
        std::error_code error;
        const bool fresh = !std::filesystem::exists(path, error) || std::filesystem::file_size(path, error) == 0;
        log_.open(path, std::ios::app | std::ios::binary);
        if (!log_) {
            err_ << prefix_ << "\"" << path << "\" cannot be opened for appending\n";
            return false;
        }
        logPath_ = path;
        if (fresh) log_ << SampleCsv::Header() << "\n" << std::flush;
        return Written();
    }
    bool WantsSample() const { return form_ == Form::Csv || log_.is_open(); }
    bool WantsReading() const { return form_ != Form::Csv; }
    // The back-end line, where the form has room for it.
    void Start(const std::string& backendLine) {
        if (form_ == Form::Text) out_ << backendLine << "\n";
        if (form_ == Form::Csv) {
            err_ << backendLine << "\n";
            out_ << SampleCsv::Header() << "\n";
        }
    }
    // One reading; false when the log could not take it.
    bool Put(const nlohmann::json& reading, const std::optional<HistorySample>& sample) {
        if (form_ == Form::Csv)
            out_ << SampleCsv::Line(*sample) << "\n";
        else
            out_ << (form_ == Form::Json ? reading.dump() : ReadingsLine(reading)) << "\n";
        out_.flush();
        if (!log_.is_open()) return true;
        log_ << SampleCsv::Line(*sample) << "\n" << std::flush;
        return Written();
    }
    // Lines beside the readings (the fan watch's): kept out of the CSV.
    std::ostream& Notes() { return form_ == Form::Csv ? err_ : out_; }

private:
    bool Written() {
        if (log_) return true;
        err_ << prefix_ << "\"" << logPath_ << "\" could not be written (a full disk?); the readings so far are in it\n";
        return false;
    }

    Form form_;
    std::ostream& out_;
    std::ostream& err_;
    std::string prefix_;
    std::ofstream log_;
    std::string logPath_;
};

// The same readings from the service, which keeps the fan watch itself.
int MonitorThroughService(ServiceClient& service, const CliArgs& parsed, int64_t count, int64_t intervalMs,
                          MonitorOutput& output, std::ostream& err) {
    std::optional<int64_t> gpu = 0;
    if (!parsed.Int("--gpu", 0, 1000000, gpu, err)) return kExitUsage;
    ServiceRequest request;
    request.kind = RequestKind::Monitor;
    request.gpu = static_cast<int>(*gpu);
    CliInterrupt::Install();
    output.Start(service.BackendLine());
    for (int64_t taken = 0; count == 0 || taken < count; ++taken) {
        if (taken > 0 && !CliInterrupt::Wait(std::chrono::milliseconds(intervalMs))) break;
        int exitCode = kExitOk;
        const auto answer = CliService::Ask(service, request, parsed.Prefix(), err, exitCode);
        if (!answer) return exitCode;
        std::optional<HistorySample> sample;
        if (const auto it = answer->find("sample"); it != answer->end()) sample = SampleFromJson(*it);
        if (output.WantsSample() && !sample) {
            err << parsed.Prefix() << "the Pyxtune service gives no samples for --csv and --log; restart it with "
                                      "systemctl restart pyxtuned\n";
            return kExitHardware;
        }
        if (!output.Put(answer->at("reading"), sample)) return kExitHardware;
    }
    return kExitOk;
}

}  // namespace

int RunMonitorCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CliArgs parsed("monitor", args);
    if (!parsed.Parse({"--json", "--csv", "--help"}, {"--gpu", "--count", "--interval", "--log"}, err)) return kExitUsage;
    if (parsed.Has("--help")) {
        out << kMonitorHelp;
        return kExitOk;
    }
    if (!parsed.Words().empty()) {
        err << parsed.Prefix() << "unknown argument \"" << parsed.Words().front()
            << "\" (accepted: --gpu, --count, --interval, --json, --csv, --log, --help)\n";
        return kExitUsage;
    }
    if (parsed.Has("--json") && parsed.Has("--csv")) {
        err << parsed.Prefix() << "--json and --csv exclude each other\n";
        return kExitUsage;
    }
    const std::optional<std::string> logPath = parsed.Value("--log");
    if (logPath && logPath->empty()) {
        err << parsed.Prefix() << "--log needs a file name\n";
        return kExitUsage;
    }
    // A log is kept until Ctrl-C unless a count says otherwise.
    std::optional<int64_t> count = logPath ? 0 : 1;
    std::optional<int64_t> intervalMs = 1000;
    if (!parsed.Int("--count", 0, 1000000, count, err) || !parsed.Int("--interval", 10, 3600000, intervalMs, err))
        return kExitUsage;
    MonitorOutput output(parsed.Has("--json")  ? MonitorOutput::Form::Json
                         : parsed.Has("--csv") ? MonitorOutput::Form::Csv
                                               : MonitorOutput::Form::Text,
                         out, err, parsed.Prefix());
    const bool json = parsed.Has("--json");

    int exitCode = kExitOk;
    auto service = CliService::Open(err, exitCode);
    if (!service && exitCode != kExitOk) return exitCode;
    if (logPath && !output.OpenLog(*logPath)) return kExitHardware;
    if (service) return MonitorThroughService(*service, parsed, *count, *intervalMs, output, err);
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
    output.Start(session->BackendLine());
    for (int64_t taken = 0; *count == 0 || taken < *count; ++taken) {
        if (taken > 0 && !CliInterrupt::Wait(std::chrono::milliseconds(*intervalMs))) break;
        const nlohmann::json reading =
            output.WantsReading()
                ? ReadingsJson(*gpu, ReadMonitors(session->Boards(), *gpu), session->Library().BackendName())
                : nlohmann::json();
        std::optional<HistorySample> sample;
        if (output.WantsSample()) sample = ReadSample(session->Boards(), *gpu, NowMs());
        if (!output.Put(reading, sample)) return kExitHardware;
        for (const FanHandBack& handBack : safety.Tick()) {
            handBackRefused = handBackRefused || handBack.writes.AnyRefused();
            if (json)
                output.Notes() << HandBackJson(handBack, session->Library().BackendName()).dump() << "\n";
            else
                output.Notes() << DescribeHandBack(handBack) << "\n";
        }
        output.Notes().flush();
    }
    return handBackRefused ? kExitHardware : kExitOk;
}

}  // namespace pyx
