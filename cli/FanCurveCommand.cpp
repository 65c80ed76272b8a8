#include "cli/FanCurveCommand.h"

#include <chrono>
#include <optional>

#include <nlohmann/json.hpp>

#include "app/AppState.h"
#include "app/FanCurveEngine.h"
#include "app/FanSafety.h"
#include "cli/CliArgs.h"
#include "cli/CliInterrupt.h"
#include "cli/CliService.h"
#include "cli/CliSession.h"
#include "gpu/CardTuning.h"

namespace pyx {

namespace {

const char* kCurveHelp =
    "usage: pyxtunectl fan curve set [--gpu N] T:L T:L... [--auto-below] [--seconds S]\n"
    "       pyxtunectl fan curve show [--gpu N] [--json]\n"
    "  set   the fan follows the points: T a temperature in C, L the level (percent, RPM on a\n"
    "        tachometer-driven fan), 2 to 8 points, linear between them and flat outside. A\n"
    "        rising temperature raises the fan at once; a falling one lowers it once it is 3 C\n"
    "        below the temperature that set the level and stays there 5 s. With the service the\n"
    "        curve runs there and comes back at every start; without it, it runs while this\n"
    "        command does and the fan goes back to the card when it ends (Ctrl-C).\n"
    "  show  the curve each GPU follows, with its temperature and fan level now.\n"
    "  --gpu N        only this GPU (default: every GPU)\n"
    "  --auto-below   below the first point the card's own control (its quiet or zero-RPM mode)\n"
    "  --seconds S    set without the service: end after S seconds instead of at Ctrl-C\n"
    "  --json         show: print the same as a JSON object\n"
    "  \"pyxtunectl fan auto\" ends a curve. Exit status 1 when a card refused a level or the\n"
    "  temperature was lost (the fan was handed back), 2 for bad arguments (nothing is sent).\n";

enum class CurveAction { Set, Show };

struct CurveRequest {
    CurveAction action = CurveAction::Show;
    std::optional<int64_t> gpu;
    FanCurve curve;
    std::string points;  // as the service takes them
    std::optional<int64_t> seconds;
    bool json = false;
};

std::optional<CurveRequest> ParseCurve(const CliArgs& args, std::ostream& out, std::ostream& err, int& exitCode) {
    exitCode = kExitUsage;
    if (args.Has("--help")) {
        out << kCurveHelp;
        exitCode = kExitOk;
        return std::nullopt;
    }
    const std::vector<std::string>& words = args.Words();
    if (words.empty() || (words.front() != "set" && words.front() != "show")) {
        err << args.Prefix() << (words.empty() ? "an action is needed" : "\"" + words.front() + "\"")
            << " (accepted: curve set, curve show)\n";
        return std::nullopt;
    }
    CurveRequest request;
    request.action = words.front() == "set" ? CurveAction::Set : CurveAction::Show;
    request.json = args.Has("--json");
    const bool set = request.action == CurveAction::Set;
    for (const char* option : {"--auto-below", "--seconds"})
        if (!set && args.Has(option)) {
            err << args.Prefix() << option << " belongs to curve set (show takes: --gpu N, --json)\n";
            return std::nullopt;
        }
    if (set && request.json) {
        err << args.Prefix() << "--json belongs to curve show\n";
        return std::nullopt;
    }
    if (!set && words.size() > 1) {
        err << args.Prefix() << "curve show takes no points (got \"" << words[1] << "\")\n";
        return std::nullopt;
    }
    if (!args.Int("--gpu", 0, 1000000, request.gpu, err) || !args.Int("--seconds", 1, 86400, request.seconds, err))
        return std::nullopt;
    if (!set) return request;
    for (size_t i = 1; i < words.size(); ++i) request.points += (i == 1 ? "" : ",") + words[i];
    std::string why;
    std::optional<FanCurve> curve = ParseFanCurvePoints(request.points, &why);
    if (!curve) {
        err << args.Prefix() << why << "\n";
        return std::nullopt;
    }
    request.curve = *curve;
    request.curve.autoBelow = args.Has("--auto-below");
    return request;
}

std::string LevelText(std::optional<int32_t> level, bool automatic, bool rpm) {
    if (automatic) return "the card's own control";
    if (!level) return "-";
    return std::to_string(*level) + (rpm ? " RPM" : " %");
}

// "GPU 0  curve 40:30,60:50,80:100  now 45 C, fan 33 %"
std::string CurveLine(const nlohmann::json& gpu) {
    std::string line = "GPU " + std::to_string(gpu.at("gpu").get<int>()) + "  ";
    if (gpu.at("curve").is_null()) return line + "no curve (the fan is fixed or the card's own)";
    line += "curve " + gpu.at("curve").get<std::string>();
    if (gpu.value("autoBelow", false)) line += " (the card's own control below the first point)";
    if (!gpu.contains("temperatureC")) return line;
    const nlohmann::json& t = gpu.at("temperatureC");
    line += "  now ";
    line += t.is_null() ? std::string("-") : std::to_string(t.get<int>()) + " C";
    line += ", fan ";
    if (gpu.value("automatic", false)) {
        line += "the card's own control";
    } else if (gpu.at("level").is_null()) {
        line += "-";
    } else {
        line += std::to_string(gpu.at("level").get<int>());
        line += gpu.value("unit", "") == "rpm" ? " RPM" : " %";
    }
    return line;
}

int CurveThroughService(ServiceClient& service, const CliArgs& args, const CurveRequest& request, std::ostream& out,
                        std::ostream& err) {
    ServiceRequest ask;
    ask.kind = request.action == CurveAction::Set ? RequestKind::FanCurveSet : RequestKind::FanCurveShow;
    if (request.gpu) ask.gpu = static_cast<int>(*request.gpu);
    ask.curvePoints = request.points;
    ask.autoBelow = request.curve.autoBelow;
    int exitCode = kExitOk;
    const auto answer = CliService::Ask(service, ask, args.Prefix(), err, exitCode);
    if (!answer) return exitCode;
    if (request.json) {
        out << nlohmann::json{{"backend", service.Hello().value("backend", std::string())}, {"gpus", answer->at("gpus")}}.dump(2)
            << "\n";
        return kExitOk;
    }
    out << service.BackendLine() << "\n";
    for (const auto& gpu : answer->at("gpus")) out << CurveLine(gpu) << "\n";
    if (request.action == CurveAction::Show) return kExitOk;
    bool stopped = false;
    for (const auto& stop : answer->value("stopped", nlohmann::json::array())) {
        err << args.Prefix() << stop.at("message").get<std::string>() << "\n";
        stopped = true;
    }
    if (answer->contains("saveError"))
        err << args.Prefix() << "the service runs the curve, but could not keep it for the next start: "
            << answer->at("saveError").get<std::string>() << "\n";
    else if (!stopped)
        out << "The service runs the curve" << (answer->value("saved", false) ? " and puts it back at every start.\n" : ".\n");
    return stopped ? kExitHardware : kExitOk;
}

// Without the service this process owns the cards: the curve runs here, in the foreground.
int RunCurveHere(CliSession& session, const CliArgs& args, const CurveRequest& request, std::ostream& out,
                 std::ostream& err) {
    GpuBoardTable& boards = session.Boards();
    std::vector<int> gpus;
    for (int gpu = 0; gpu < std::min<int>(boards.gpuCount, kMaxGpus); ++gpu)
        if (!request.gpu || *request.gpu == gpu) gpus.push_back(gpu);
    if (gpus.empty()) {
        err << args.Prefix() << "--gpu: this machine has no GPU " << *request.gpu << "\n";
        return kExitUsage;
    }
    if (request.action == CurveAction::Show && request.json) {
        // No process keeps a curve here: every GPU shows none, in the service's own form.
        AppState none;
        const FanCurveEngine curves(boards, none);
        nlohmann::json shown = nlohmann::json::array();
        for (const int gpu : gpus) shown.push_back(curves.ShowJson(gpu));
        out << nlohmann::json{{"backend", session.Library().BackendName()}, {"gpus", shown}}.dump(2) << "\n";
        return kExitOk;
    }
    out << session.BackendLine() << "\n";
    if (request.action == CurveAction::Show) {
        for (const int gpu : gpus)
            out << "GPU " << gpu << "  no curve runs: without the service a curve runs only in the window or in "
                                    "\"pyxtunectl fan curve set\"\n";
        return kExitOk;
    }
    AppState state;
    for (const int gpu : gpus) {
        const CardTuning card(boards, gpu);
        const FanUnit unit = card.FixedFanUnit();
        if (std::optional<std::string> fault = FanCurveFault(request.curve, card.FixedFanLevels(), unit)) {
            err << args.Prefix() << "GPU " << gpu << ": " << *fault << "; nothing was sent\n";
            return kExitUsage;
        }
        state.fanCurves[static_cast<size_t>(gpu)] = request.curve;
    }
    FanCurveEngine curves(boards, state);
    FanSafety safety(boards);
    CliInterrupt::Install();
    out << "The fan follows the curve while this command runs; "
        << (request.seconds ? "it ends after " + std::to_string(*request.seconds) + " s" : std::string("Ctrl-C ends it"))
        << " and hands the fan back.\n";
    std::array<std::optional<FanCurveLive>, kMaxGpus> shown{};
    bool refused = false;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(request.seconds.value_or(0));
    for (bool first = true;; first = false) {
        if (!first && !CliInterrupt::Wait(std::chrono::seconds(1))) break;
        for (const FanCurveStop& stop : curves.Tick()) {
            err << args.Prefix() << DescribeCurveStop(stop) << "\n";
            refused = true;
        }
        for (const FanHandBack& handBack : safety.Tick()) {
            err << args.Prefix() << DescribeHandBack(handBack) << "\n";
            refused = true;
        }
        for (const int gpu : gpus) {
            const std::optional<FanCurveLive> live = curves.Live(gpu);
            auto& before = shown[static_cast<size_t>(gpu)];
            if (!live || (before && before->level == live->level && before->automatic == live->automatic)) continue;
            before = live;
            const bool rpm = CardTuning(boards, gpu).FixedFanUnit() == FanUnit::Rpm;
            out << "GPU " << gpu << "  " << (live->temperatureC ? std::to_string(*live->temperatureC) + " C" : "-")
                << "  fan " << LevelText(live->level, live->automatic, rpm) << "\n";
        }
        out.flush();
        if (!curves.Running()) break;
        if (request.seconds && std::chrono::steady_clock::now() >= until) break;
    }
    const TuningReport back = curves.End();
    for (const TuningWriteResult& write : back.Refusals()) {
        err << args.Prefix() << "GPU " << write.gpu << " refused to take its fan back (" << DescribeWrite(write)
            << "): " << StatusInWords(write.status) << "\n";
        refused = true;
    }
    if (back.Refusals().empty()) out << "The curve ended; the fan is back under the card's own control.\n";
    return refused ? kExitHardware : kExitOk;
}

}  // namespace

int RunFanCurveCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CliArgs parsed("fan curve", args);
    if (!parsed.Parse({"--auto-below", "--json", "--help"}, {"--gpu", "--seconds"}, err)) return kExitUsage;
    int exitCode = kExitOk;
    const std::optional<CurveRequest> request = ParseCurve(parsed, out, err, exitCode);
    if (!request) return exitCode;
    if (auto service = CliService::Open(err, exitCode)) return CurveThroughService(*service, parsed, *request, out, err);
    if (exitCode != kExitOk) return exitCode;
    const DiscoveryWrites writes = request->action == CurveAction::Show ? DiscoveryWrites::Withheld : DiscoveryWrites::Sent;
    auto session = CliSession::Open(err, exitCode, writes);
    if (!session) return exitCode;
    return RunCurveHere(*session, parsed, *request, out, err);
}

}  // namespace pyx
