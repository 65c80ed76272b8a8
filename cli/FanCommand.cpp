#include "cli/FanCommand.h"

#include <optional>

#include <nlohmann/json.hpp>

#include "app/FanReport.h"
#include "cli/CliArgs.h"
#include "cli/CliService.h"
#include "cli/FanCurveCommand.h"
#include "cli/CliSession.h"

namespace pyx {

namespace {

const char* kFanHelp =
    "usage: pyxtunectl fan auto [--gpu N | --all]\n"
    "       pyxtunectl fan show [--gpu N] [--json]\n"
    "       pyxtunectl fan curve set|show ... (pyxtunectl fan curve --help)\n"
    "  auto  hands every fan path of the cards (the board's own fan and each cooler of the\n"
    "        fan-cooler interface) back to the card's own control, whoever fixed its level,\n"
    "        and prints each card's answer per fan path; a fan curve it follows ends.\n"
    "  show  who drives each fan now (automatic, manual or unknown) and its level (percent,\n"
    "        RPM on a tachometer-driven fan, - when the card does not say). It only reads.\n"
    "  --gpu N  only this GPU (default: every GPU)\n"
    "  --all    every GPU (auto; the default)\n"
    "  --json   show: print the same as a JSON object\n"
    "  Exit status 1 when a card refused a hand-back (each one is named; the rest were still\n"
    "  sent), 2 for bad arguments (nothing is sent).\n";

enum class FanAction { Auto, Show };

// What the command line asks for.
struct FanCommandRequest {
    FanAction action = FanAction::Show;
    std::string actionName;
    std::optional<int64_t> gpu;  // none: every GPU
    bool json = false;
};

// The action and its options from the arguments; none, after saying why (or the help), with
// the exit status to end with.
std::optional<FanCommandRequest> ParseFan(const CliArgs& args, std::ostream& out, std::ostream& err, int& exitCode) {
    exitCode = kExitUsage;
    if (args.Has("--help")) {
        out << kFanHelp;
        exitCode = kExitOk;
        return std::nullopt;
    }
    const std::vector<std::string>& words = args.Words();
    if (words.size() != 1 || (words.front() != "auto" && words.front() != "show")) {
        err << args.Prefix() << (words.empty() ? "an action is needed" : "\"" + words.front() + "\"")
            << (words.size() > 1 ? " and more words" : "") << " (accepted actions: auto, show, curve)\n";
        return std::nullopt;
    }
    FanCommandRequest request;
    request.actionName = words.front();
    request.action = request.actionName == "auto" ? FanAction::Auto : FanAction::Show;
    request.json = args.Has("--json");
    if (request.action == FanAction::Auto && request.json) {
        err << args.Prefix() << "--json belongs to show (auto takes: --gpu N | --all)\n";
        return std::nullopt;
    }
    if (request.action == FanAction::Show && args.Has("--all")) {
        err << args.Prefix() << "--all belongs to auto (show takes: --gpu N, --json; without --gpu it shows every GPU)\n";
        return std::nullopt;
    }
    if (args.Has("--all") && args.Has("--gpu")) {
        err << args.Prefix() << "--gpu and --all exclude each other (accepted: one of them)\n";
        return std::nullopt;
    }
    // Whether this machine has the GPU is known only once the cards are up (CheckTargets).
    if (!args.Int("--gpu", 0, 1000000, request.gpu, err)) return std::nullopt;
    return request;
}

// The GPUs the action goes to; none, after naming the GPUs this machine has, when --gpu names
// another.
std::optional<std::vector<int>> CheckTargets(const CliArgs& args, const FanCommandRequest& request, CliSession& session,
                                             std::ostream& err) {
    const int count = session.Boards().gpuCount;
    std::vector<int> gpus;
    if (request.gpu && *request.gpu >= count) {
        std::string present;
        for (int gpu = 0; gpu < count; ++gpu) present += (gpu == 0 ? "" : ", ") + std::to_string(gpu);
        err << args.Prefix() << "--gpu: this machine has no GPU " << *request.gpu << " (accepted: "
            << (count == 1 ? "GPU " : "GPUs ") << present << ")\n";
        return std::nullopt;
    }
    for (int gpu = 0; gpu < count; ++gpu)
        if (!request.gpu || *request.gpu == gpu) gpus.push_back(gpu);
    return gpus;
}

// Each answer of FanReport::HandBack on out, each refusal named on err; the exit status.
int PrintHandBack(const CliArgs& args, const std::string& backendLine, const nlohmann::json& report, std::ostream& out,
                  std::ostream& err) {
    out << backendLine << "\n";
    bool anyRefused = false;
    bool lastRefused = false;
    for (const auto& gpu : report.at("gpus")) {
        const int index = gpu.at("gpu").get<int>();
        for (const auto& answer : gpu.at("answers")) {
            const std::string path = answer.at("path").get<std::string>();
            lastRefused = answer.at("refused").get<bool>();
            anyRefused = anyRefused || lastRefused;
            out << "GPU " << index << "  " << path << ": "
                << (lastRefused ? "refused, " + answer.at("status").get<std::string>()
                                : std::string("handed back to the card"))
                << "\n";
            if (lastRefused)
                err << args.Prefix() << "GPU " << index << " refused the hand-back of its " << path << " ("
                    << answer.at("write").get<std::string>() << "): " << answer.at("status").get<std::string>() << "\n";
        }
        if (gpu.at("answers").empty()) out << "GPU " << index << "  no fan path this program drives; nothing was sent\n";
    }
    if (anyRefused) {
        if (!lastRefused) err << args.Prefix() << "the hand-backs after a refused one were still sent\n";
        return kExitHardware;
    }
    out << "Every fan path is under the card's own control.\n";
    return kExitOk;
}

std::string LevelText(const nlohmann::json& fan) {
    if (fan.at("level").is_null()) return "-";
    return std::to_string(fan.at("level").get<int64_t>()) + (fan.at("unit") == "rpm" ? " RPM" : " %");
}

// Each GPU's fans as FanReport::Read gives them, as lines of text or a JSON document.
void PrintFans(const std::string& backendLine, const std::string& backend, const nlohmann::json& report, bool json,
               std::ostream& out) {
    if (json) {
        nlohmann::json gpus = report.at("gpus");
        for (auto& gpu : gpus)
            for (auto& fan : gpu.at("fans")) fan.erase("name");
        out << nlohmann::json{{"backend", backend}, {"gpus", gpus}}.dump(2) << "\n";
        return;
    }
    out << backendLine << "\n";
    for (const auto& gpu : report.at("gpus")) {
        const int index = gpu.at("gpu").get<int>();
        for (const auto& fan : gpu.at("fans"))
            out << "GPU " << index << "  " << fan.at("name").get<std::string>() << ": "
                << fan.at("mode").get<std::string>() << ", " << LevelText(fan) << "\n";
        if (gpu.at("fans").empty()) out << "GPU " << index << "  no fan this program can read\n";
    }
}

// The action through the service, which owns the cards and says which GPUs it has.
int FanThroughService(ServiceClient& service, const CliArgs& args, const FanCommandRequest& request, std::ostream& out,
                      std::ostream& err) {
    ServiceRequest ask;
    ask.kind = request.action == FanAction::Auto ? RequestKind::FanAuto : RequestKind::FanShow;
    if (request.gpu) ask.gpu = static_cast<int>(*request.gpu);
    int exitCode = kExitOk;
    const auto answer = CliService::Ask(service, ask, args.Prefix(), err, exitCode);
    if (!answer) return exitCode;
    if (request.action == FanAction::Auto) return PrintHandBack(args, service.BackendLine(), *answer, out, err);
    PrintFans(service.BackendLine(), service.Hello().value("backend", std::string()), *answer, request.json, out);
    return kExitOk;
}

}  // namespace

int RunFanCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!args.empty() && args.front() == "curve") return RunFanCurveCommand({args.begin() + 1, args.end()}, out, err);
    CliArgs parsed("fan", args);
    if (!parsed.Parse({"--all", "--json", "--help"}, {"--gpu"}, err)) return kExitUsage;
    int exitCode = kExitOk;
    const std::optional<FanCommandRequest> request = ParseFan(parsed, out, err, exitCode);
    if (!request) return exitCode;

    // Showing only reads: the cards come up without the start-up's chip writes. A hand-back
    // writes, and comes up as apply does, with the fan chips' limits learnt.
    const DiscoveryWrites writes = request->action == FanAction::Show ? DiscoveryWrites::Withheld : DiscoveryWrites::Sent;
    if (auto service = CliService::Open(err, exitCode)) return FanThroughService(*service, parsed, *request, out, err);
    if (exitCode != kExitOk) return exitCode;
    auto session = CliSession::Open(err, exitCode, writes);
    if (!session) return exitCode;
    const std::optional<std::vector<int>> gpus = CheckTargets(parsed, *request, *session, err);
    if (!gpus) return kExitUsage;

    if (request->action == FanAction::Show) {
        PrintFans(session->BackendLine(), session->Library().BackendName(), FanReport::Read(session->Boards(), *gpus),
                  request->json, out);
        return kExitOk;
    }
    return PrintHandBack(parsed, session->BackendLine(), FanReport::HandBack(session->Boards(), *gpus), out, err);
}

}  // namespace pyx
