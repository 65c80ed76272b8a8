#include "cli/HistoryCommand.h"

#include <charconv>
#include <chrono>

#include <nlohmann/json.hpp>

#include "app/HistorySample.h"
#include "app/SampleCsv.h"
#include "cli/CliArgs.h"
#include "cli/CliService.h"
#include "cli/CliSession.h"

namespace pyx {

namespace {

const char* kHistoryHelp =
    "usage: pyxtunectl history [--gpu N] [--since WHEN] [--csv|--json]\n"
    "  What the Pyxtune service kept of each GPU: one sample a second for the last hour, with\n"
    "  graphics and memory clock, temperature, fan, load, power draw (where the card reports it)\n"
    "  and the thermal and power limits in force. Only the service keeps a history; without one,\n"
    "  \"pyxtunectl monitor --log FILE\" keeps your own.\n"
    "  --gpu N       one GPU only (default: every GPU)\n"
    "  --since WHEN  from WHEN on: 90s, 10m, 1h back from now, or a time such as\n"
    "                2024-05-01T12:00:00.000Z (UTC); default: all that is kept\n"
    "  --csv         a header, then one CSV line per sample (as monitor --csv writes them)\n"
    "  --json        one JSON document: the back-end and the samples\n";

// "52 C" for a value, nothing for an absent one.
template <typename T>
std::string Part(const char* name, const std::optional<T>& value, const char* unit) {
    return value ? std::string("  ") + name + " " + std::to_string(*value) + unit : std::string();
}

std::string SampleLine(const HistorySample& s) {
    // Watts and the power limit with their thousandths, as the CSV has them.
    const std::string csv = SampleCsv::Line(s);
    std::vector<std::string> fields;
    for (std::size_t start = 0, comma;; start = comma + 1) {
        comma = csv.find(',', start);
        fields.push_back(csv.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) break;
    }
    return fields[0] + "  GPU " + std::to_string(s.gpu) + Part("graphics", s.graphicsClockMHz, " MHz") +
           Part("memory", s.memoryClockMHz, " MHz") + Part("temperature", s.temperatureC, " C") +
           Part("fan", s.fanPercent, " %") + Part("fan", s.fanRpm, " RPM") + Part("load", s.loadPercent, " %") +
           (s.powerDrawMilliwatts ? "  power " + fields[8] + " W" : std::string()) +
           Part("thermal limit", s.thermalLimitC, " C") +
           (s.powerLimitPcm ? "  power limit " + fields[10] + " %" : std::string());
}

}  // namespace

std::optional<int64_t> ParseSince(std::string_view text, int64_t nowMs) {
    if (auto time = SampleCsv::ParseIsoTime(text)) return time;
    if (text.size() < 2) return std::nullopt;
    int64_t unitMs = 0;
    switch (text.back()) {
        case 's': unitMs = 1000; break;
        case 'm': unitMs = 60 * 1000; break;
        case 'h': unitMs = 3600 * 1000; break;
        default: return std::nullopt;
    }
    int64_t count = 0;
    const char* end = text.data() + text.size() - 1;
    const auto [stop, error] = std::from_chars(text.data(), end, count);
    // Anything past a day back is past what is kept anyway; the bound keeps the sum in range.
    if (error != std::errc() || stop != end || count < 0 || count > 24 * 3600) return std::nullopt;
    return nowMs - count * unitMs;
}

int RunHistoryCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CliArgs parsed("history", args);
    if (!parsed.Parse({"--json", "--csv", "--help"}, {"--gpu", "--since"}, err)) return kExitUsage;
    if (parsed.Has("--help")) {
        out << kHistoryHelp;
        return kExitOk;
    }
    if (!parsed.Words().empty()) {
        err << parsed.Prefix() << "unknown argument \"" << parsed.Words().front()
            << "\" (accepted: --gpu, --since, --csv, --json, --help)\n";
        return kExitUsage;
    }
    if (parsed.Has("--json") && parsed.Has("--csv")) {
        err << parsed.Prefix() << "--json and --csv exclude each other\n";
        return kExitUsage;
    }
    ServiceRequest request;
    request.kind = RequestKind::History;
    std::optional<int64_t> gpu;
    if (!parsed.Int("--gpu", 0, 1000000, gpu, err)) return kExitUsage;
    if (gpu) request.gpu = static_cast<int>(*gpu);
    if (const auto since = parsed.Value("--since")) {
        const int64_t nowMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  std::chrono::system_clock::now().time_since_epoch())
                                  .count();
        request.sinceMs = ParseSince(*since, nowMs);
        if (!request.sinceMs || *request.sinceMs < 0) {
            err << parsed.Prefix() << "--since takes a time back from now (90s, 10m, 1h) or a UTC time such as "
                << "2024-05-01T12:00:00.000Z (got \"" << *since << "\")\n";
            return kExitUsage;
        }
    }

    int exitCode = kExitOk;
    auto service = CliService::Open(err, exitCode);
    if (!service) {
        if (exitCode == kExitOk)
            err << parsed.Prefix()
                << "no Pyxtune service owns the cards here, and only the service keeps a history; "
                   "\"pyxtunectl monitor --log FILE\" keeps one of your own\n";
        return kExitHardware;
    }
    const auto answer = CliService::Ask(*service, request, parsed.Prefix(), err, exitCode);
    if (!answer) return exitCode;
    if (!answer->value("kept", false)) {
        err << parsed.Prefix() << "the Pyxtune service keeps no history (it was started with --no-history)\n";
        return kExitHardware;
    }
    std::vector<HistorySample> samples;
    for (const nlohmann::json& doc : answer->at("samples")) {
        const auto sample = SampleFromJson(doc);
        if (!sample) {
            err << parsed.Prefix() << "the Pyxtune service answered a sample this pyxtunectl cannot read\n";
            return kExitHardware;
        }
        samples.push_back(*sample);
    }
    if (parsed.Has("--json")) {
        nlohmann::json list = nlohmann::json::array();
        for (const HistorySample& s : samples) {
            nlohmann::json doc = SampleJson(s);
            doc["time"] = SampleCsv::IsoTime(s.timeMs);
            list.push_back(std::move(doc));
        }
        out << nlohmann::json({{"backend", service->Hello().value("backend", std::string())},
                               {"keptS", answer->value("keptS", 0)},
                               {"samples", list}})
                   .dump()
            << "\n";
        return kExitOk;
    }
    if (parsed.Has("--csv")) {
        err << service->BackendLine() << "\n";
        out << SampleCsv::Header() << "\n";
        for (const HistorySample& s : samples) out << SampleCsv::Line(s) << "\n";
        return kExitOk;
    }
    out << service->BackendLine() << "\n";
    for (const HistorySample& s : samples) out << SampleLine(s) << "\n";
    if (samples.empty()) err << parsed.Prefix() << "no samples kept in that time\n";
    return kExitOk;
}

}  // namespace pyx
