#include "cli/FanCommand.h"

#include <optional>

#include <nlohmann/json.hpp>

#include "app/TuningReport.h"
#include "cli/CliArgs.h"
#include "cli/CliSession.h"
#include "gpu/CardTuning.h"

namespace pyx {

namespace {

const char* kFanHelp =
    "usage: pyxtunectl fan auto [--gpu N | --all]\n"
    "       pyxtunectl fan show [--gpu N] [--json]\n"
    "  auto  hands every fan path of the cards (the board's own fan and each cooler of the\n"
    "        fan-cooler interface) back to the card's own control, whoever fixed its level,\n"
    "        and prints each card's answer per fan path.\n"
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
            << (words.size() > 1 ? " and more words" : "") << " (accepted actions: auto, show)\n";
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

// The fan path a hand-back answer belongs to.
std::string AnswerPathName(GpuBoardTable& boards, const TuningWriteResult& answer) {
    switch (answer.operation) {
        case TuningOperation::FanCoolerLevel:
            return FanOutletName({FanPath::FanCoolers, 0});
        case TuningOperation::FanAutomatic:
        case TuningOperation::FanSpeed:
        case TuningOperation::FanSpeedRpm:
            return FanOutletName({CardTuning(boards, answer.gpu).Fan(), 0});
        default:
            return OperationName(answer.operation);
    }
}

// Every fan path of each GPU handed back, each answer kept.
TuningReport HandBack(GpuBoardTable& boards, const std::vector<int>& gpus) {
    TuningReport report;
    for (const int gpu : gpus) {
        const CardTuning card(boards, gpu);
        if (card.Valid()) report.Add(gpu, card.HandBackFans());
    }
    return report;
}

// Each answer on out, each refusal named on err; the exit status.
int PrintHandBack(const CliArgs& args, CliSession& session, const std::vector<int>& gpus, const TuningReport& report,
                  std::ostream& out, std::ostream& err) {
    GpuBoardTable& boards = session.Boards();
    out << session.BackendLine() << "\n";
    for (const int gpu : gpus) {
        bool answered = false;
        for (const TuningWriteResult& answer : report.Writes()) {
            if (answer.gpu != gpu) continue;
            answered = true;
            const std::string path = AnswerPathName(boards, answer);
            out << "GPU " << gpu << "  " << path << ": "
                << (answer.Refused() ? "refused, " + StatusInWords(answer.status) : std::string("handed back to the card"))
                << "\n";
            if (answer.Refused())
                err << args.Prefix() << "GPU " << gpu << " refused the hand-back of its " << path << " ("
                    << DescribeWrite(answer) << "): " << StatusInWords(answer.status) << "\n";
        }
        if (!answered) out << "GPU " << gpu << "  no fan path this program drives; nothing was sent\n";
    }
    if (report.AnyRefused()) {
        const std::vector<TuningWriteResult>& answers = report.Writes();
        if (!answers.empty() && !answers.back().Refused())
            err << args.Prefix() << "the hand-backs after a refused one were still sent\n";
        return kExitHardware;
    }
    out << "Every fan path is under the card's own control.\n";
    return kExitOk;
}

const char* ModeWord(FanControlMode mode) {
    switch (mode) {
        case FanControlMode::Automatic: return "automatic";
        case FanControlMode::Manual: return "manual";
        case FanControlMode::Unknown: break;
    }
    return "unknown";
}

std::string LevelText(const FanOutletState& fan) {
    if (!fan.level) return "-";
    return std::to_string(*fan.level) + (fan.unit == FanUnit::Rpm ? " RPM" : " %");
}

// Each GPU's fans as they run now, as lines of text or a JSON document.
void PrintFans(CliSession& session, const FanCommandRequest& request, const std::vector<int>& gpus, std::ostream& out) {
    nlohmann::json documents = nlohmann::json::array();
    if (!request.json) out << session.BackendLine() << "\n";
    for (const int gpu : gpus) {
        const std::vector<FanOutletState> fans = CardTuning(session.Boards(), gpu).ReadFans();
        nlohmann::json rows = nlohmann::json::array();
        for (const FanOutletState& fan : fans) {
            rows.push_back({{"path", FanPathKey(fan.outlet.path)},
                            {"coolerId", fan.outlet.coolerId},
                            {"mode", ModeWord(fan.mode)},
                            {"level", fan.level ? nlohmann::json(*fan.level) : nlohmann::json(nullptr)},
                            {"unit", fan.unit == FanUnit::Rpm ? "rpm" : "percent"}});
            if (!request.json)
                out << "GPU " << gpu << "  " << FanOutletName(fan.outlet) << ": " << ModeWord(fan.mode) << ", "
                    << LevelText(fan) << "\n";
        }
        if (fans.empty() && !request.json) out << "GPU " << gpu << "  no fan this program can read\n";
        documents.push_back({{"gpu", gpu}, {"fans", rows}});
    }
    if (request.json)
        out << nlohmann::json{{"backend", session.Library().BackendName()}, {"gpus", documents}}.dump(2) << "\n";
}

}  // namespace

std::string FanOutletName(const FanOutlet& outlet) {
    switch (outlet.path) {
        case FanPath::LibraryCooler: return "library cooler";
        case FanPath::PacedLibraryCooler: return "paced library cooler";
        case FanPath::LibraryCoolerAndChip: return "library cooler and chip";
        case FanPath::TachometerChip: return "tachometer chip";
        case FanPath::FanCoolers:
            return outlet.IsCooler() ? "fan cooler " + std::to_string(outlet.coolerId) : std::string("fan coolers");
    }
    return "fan path " + std::to_string(FanPathCode(outlet.path));
}

const char* FanPathKey(FanPath path) {
    switch (path) {
        case FanPath::LibraryCooler: return "libraryCooler";
        case FanPath::PacedLibraryCooler: return "pacedLibraryCooler";
        case FanPath::LibraryCoolerAndChip: return "libraryCoolerAndChip";
        case FanPath::TachometerChip: return "tachometerChip";
        case FanPath::FanCoolers: return "fanCoolers";
    }
    return "unknown";
}

int RunFanCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CliArgs parsed("fan", args);
    if (!parsed.Parse({"--all", "--json", "--help"}, {"--gpu"}, err)) return kExitUsage;
    int exitCode = kExitOk;
    const std::optional<FanCommandRequest> request = ParseFan(parsed, out, err, exitCode);
    if (!request) return exitCode;

    // Showing only reads: the cards come up without the start-up's chip writes. A hand-back
    // writes, and comes up as apply does, with the fan chips' limits learnt.
    const DiscoveryWrites writes = request->action == FanAction::Show ? DiscoveryWrites::Withheld : DiscoveryWrites::Sent;
    auto session = CliSession::Open(err, exitCode, writes);
    if (!session) return exitCode;
    const std::optional<std::vector<int>> gpus = CheckTargets(parsed, *request, *session, err);
    if (!gpus) return kExitUsage;

    if (request->action == FanAction::Show) {
        PrintFans(*session, *request, *gpus, out);
        return kExitOk;
    }
    const TuningReport report = HandBack(session->Boards(), *gpus);
    return PrintHandBack(parsed, *session, *gpus, report, out, err);
}

}  // namespace pyx
