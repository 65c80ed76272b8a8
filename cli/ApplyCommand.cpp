#include "cli/ApplyCommand.h"

#include <algorithm>
#include <functional>
#include <map>
#include <sstream>

#include <nlohmann/json.hpp>

#include "app/AppState.h"
#include "app/CoreTexts.h"
#include "app/TuningApply.h"
#include "app/TuningController.h"
#include "app/TuningRanges.h"
#include "app/TuningReportJson.h"
#include "cli/CliArgs.h"
#include "cli/CliService.h"
#include "cli/CliSession.h"
#include "cli/KeepPrompt.h"

namespace pyx {

namespace {

const char* kApplyHelp =
    "usage: pyxtunectl apply extreme|performance|common [--gpu N | --all] [--yes | --revert-after S] [--json]\n"
    "       pyxtunectl apply custom [--gpu N | --all] --core MHZ --mem MHZ --power PERCENT --fan VALUE\n"
    "                               [--gpu-vf MHZ] [--mem-vf MHZ] [--yes | --revert-after S] [--json]\n"
    "  Applies a tuning mode as the window's Apply does (without its lighting half).\n"
    "  extreme, performance and custom overclock: on a terminal the warning is asked, then\n"
    "  \"Keep these settings? [y/N] (reverted in 15 s)\": only y or yes keeps; any other answer,\n"
    "  the end of input or no answer in time puts back the settings from before. --yes answers\n"
    "  both (it is needed where standard input or standard error is not a terminal);\n"
    "  --revert-after S sets the time (5-60 s). common restores the card's defaults, needs no\n"
    "  confirmation and is kept at once.\n"
    "  --gpu N          the GPU to tune (default 0)\n"
    "  --all            every GPU, as with the window's link button\n"
    "  --core MHZ       graphics clock offset      --mem MHZ   memory clock offset\n"
    "  --power PERCENT  power target               --fan VALUE fan speed (percent, RPM on a\n"
    "                   tachometer-driven fan; fan-cooler level 0..100 where the fan slider is off)\n"
    "  --gpu-vf MHZ, --mem-vf MHZ  offsets of the VF points on cards that have a VF range\n"
    "                   (default: --core and --mem)\n"
    "  Values outside a card's range are refused with the range, before anything is sent.\n"
    "  Exit status 1 when a card refused a write (each one is named; the writes after it are\n"
    "  still sent), does not hold a custom value afterwards or refused part of a revert; the\n"
    "  success line and --json's \"applied\": true only when it took everything. A revert\n"
    "  the cards took whole ends with 0 (--json: \"kept\": false).\n";

const std::map<std::string, int> kModes = {{"extreme", kTuningModeExtreme},
                                           {"performance", kTuningModePerformance},
                                           {"common", kTuningModeCommon},
                                           {"custom", kTuningModeCustom}};

// The option each of custom's values comes from.
const char* OptionOf(CustomField field) {
    switch (field) {
        case CustomField::Core: return "--core";
        case CustomField::Mem: return "--mem";
        case CustomField::Power: return "--power";
        case CustomField::Fan: return "--fan";
        case CustomField::GpuVf: return "--gpu-vf";
        case CustomField::MemVf: return "--mem-vf";
    }
    return "?";
}

// Every value must fit every GPU it goes to.
bool CheckCustomValues(const CliArgs& args, GpuBoardTable& boards, const std::vector<int>& gpus,
                       const CustomTuningValues& v, std::ostream& err) {
    std::vector<int> powerless;
    if (const auto out = TuningApply::CheckCustom(boards, gpus, v, &powerless)) {
        const char* option = OptionOf(out->field);
        // The value as written: one too long for 64 bits was saturated.
        err << args.Prefix() << option << ": " << args.Value(option).value_or(std::to_string(out->value)) << " "
            << out->unit << " is outside GPU " << out->gpu << "'s range " << out->min << ".." << out->max << " "
            << out->unit << "\n";
        return false;
    }
    for (const int gpu : powerless)
        err << args.Prefix() << "note: GPU " << gpu << " has no usable power range; --power is not sent\n";
    return true;
}

// Whole numbers only; their ranges are the card's, checked once the cards are open.
bool ReadCustomValues(const CliArgs& args, CustomTuningValues& v, std::ostream& err) {
    std::optional<int64_t> core, mem, power, fan, gpuVf, memVf;
    if (!args.WholeNumber("--core", "MHz", core, err) || !args.WholeNumber("--mem", "MHz", mem, err) ||
        !args.WholeNumber("--power", "percent", power, err) || !args.WholeNumber("--fan", "percent or RPM", fan, err) ||
        !args.WholeNumber("--gpu-vf", "MHz", gpuVf, err) || !args.WholeNumber("--mem-vf", "MHz", memVf, err))
        return false;
    for (const char* needed : {"--core", "--mem", "--power", "--fan"})
        if (!args.Has(needed)) {
            err << args.Prefix() << "custom needs " << needed << " (accepted: --core MHZ --mem MHZ --power PERCENT "
                << "--fan VALUE [--gpu-vf MHZ] [--mem-vf MHZ])\n";
            return false;
        }
    v = {*core, *mem, *power, *fan, gpuVf.value_or(*core), memVf.value_or(*mem)};
    return true;
}

// What the command line asks for.
struct ApplyRequest {
    std::string modeName;
    int mode = kTuningModeNone;
    CustomTuningValues custom;  // custom only
};

// The mode and its values from the arguments; none, after saying why (or the help), with the
// exit status to end with.
std::optional<ApplyRequest> ParseApply(const CliArgs& args, std::ostream& out, std::ostream& err, int& exitCode) {
    exitCode = kExitUsage;
    if (args.Has("--help")) {
        out << kApplyHelp;
        exitCode = kExitOk;
        return std::nullopt;
    }
    const std::vector<std::string>& words = args.Words();
    if (words.size() != 1 || kModes.count(words.front()) == 0) {
        std::string why = "a mode is needed";
        if (!words.empty() && kModes.count(words.front()) == 0)
            why = "unknown mode \"" + words.front() + "\"";
        else if (words.size() > 1)
            why = "\"" + words[1] + "\" follows \"" + words.front() + "\": apply takes one mode";
        err << args.Prefix() << why << " (accepted modes: extreme, performance, common, custom)\n";
        return std::nullopt;
    }
    ApplyRequest request;
    request.modeName = words.front();
    request.mode = kModes.at(request.modeName);
    if (args.Has("--all") && args.Has("--gpu")) {
        err << args.Prefix() << "--gpu and --all exclude each other (accepted: one of them)\n";
        return std::nullopt;
    }
    if (request.mode == kTuningModeCustom) {
        if (!ReadCustomValues(args, request.custom, err)) return std::nullopt;
        return request;
    }
    for (const char* option : {"--core", "--mem", "--power", "--fan", "--gpu-vf", "--mem-vf"})
        if (args.Has(option)) {
            err << args.Prefix() << option << " belongs to custom (" << request.modeName
                << " takes: --gpu N | --all, --yes)\n";
            return std::nullopt;
        }
    if (request.mode == kTuningModeCommon && args.Has("--revert-after")) {
        err << args.Prefix() << "--revert-after belongs to the modes that ask (common is kept at once)\n";
        return std::nullopt;
    }
    return request;
}

// The GPUs the mode goes to: every one with --all, else the one --gpu names (GPU 0 without).
struct ApplyTargets {
    int selected = 0;
    std::vector<int> gpus;
};

// The GPUs named, and custom's values checked against each one's ranges; none after saying why.
std::optional<ApplyTargets> CheckApply(const CliArgs& args, CliSession& session, const ApplyRequest& request,
                                       std::ostream& err) {
    const auto selected = session.SelectGpu(args, err);
    if (!selected) return std::nullopt;
    ApplyTargets targets;
    targets.selected = *selected;
    if (args.Has("--all")) {
        for (int gpu = 0; gpu < session.Boards().gpuCount; ++gpu) targets.gpus.push_back(gpu);
    } else {
        targets.gpus.push_back(*selected);
    }
    if (request.mode == kTuningModeCustom &&
        !CheckCustomValues(args, session.Boards(), targets.gpus, request.custom, err))
        return std::nullopt;
    return targets;
}

// Each refused write on err (as RefusalsWithWords gives them); the same as pyxtunectl's JSON.
nlohmann::json PrintRefusals(const CliArgs& args, const ApplyRequest& request, const nlohmann::json& refusals,
                             std::ostream& err) {
    nlohmann::json refused = nlohmann::json::array();
    for (const nlohmann::json& r : refusals) {
        err << args.Prefix() << "GPU " << r.at("gpu").get<int>() << " refused " << request.modeName << "'s "
            << r.at("write").get<std::string>() << ": " << r.at("statusText").get<std::string>() << "\n";
        refused.push_back(WithoutWords(r));
    }
    if (!refused.empty()) err << args.Prefix() << "the writes after a refused one were still sent\n";
    return refused;
}

// What each card holds now (TuningApply::HoldingsJson's), as lines of text and JSON
// entries; for custom (when `asked`), false (after saying so) when a card does not hold what
// was asked.
bool DescribeHoldings(const CliArgs& args, const ApplyRequest& request, bool asked, const nlohmann::json& now,
                      nlohmann::json& results, std::ostringstream& holdings, std::ostream& err) {
    bool held = true;
    for (nlohmann::json h : now) {
        holdings << TuningApply::HoldingLine(h) << "\n";
        const bool vf = h.value("vf", false);
        h.erase("vf");
        results.push_back(h);
        if (!asked || request.mode != kTuningModeCustom) continue;
        const CustomTuningValues& custom = request.custom;
        const TuningApply::Holding holding{h.at("gpu").get<int>(), h.at("graphicsOffsetMHz").get<int32_t>(),
                                           h.at("memoryOffsetMHz").get<int32_t>(),
                                           h.at("powerPercent").is_null()
                                               ? std::nullopt
                                               : std::optional<int32_t>(h.at("powerPercent").get<int32_t>()),
                                           vf};
        if (TuningApply::Holds(holding, custom)) continue;
        err << args.Prefix() << "GPU " << holding.gpu << " did not take every value: it holds graphics "
            << holding.graphicsOffsetMHz << " MHz (asked " << (vf ? custom.gpuVfMHz : custom.coreMHz) << "), memory "
            << holding.memoryOffsetMHz << " MHz (asked " << (vf ? custom.memVfMHz : custom.memMHz) << "), power "
            << holding.powerPercent.value_or(0) << " % (asked " << custom.powerPercent << ")\n";
        held = false;
    }
    return held;
}

// What became of the change after the keep question.
struct KeepAnswer {
    bool kept = true;
    nlohmann::json revertRefusals = nlohmann::json::array();  // RefusalsWithWords
};

// What an apply came to, from this process's cards or the service's.
struct ApplyAnswer {
    bool confirmed = true;       // the warning was answered yes (or not asked)
    std::string warning;         // the warning, when it was asked and not confirmed
    std::string result;          // the result message's source text
    nlohmann::json refusals;     // RefusalsWithWords
    nlohmann::json holdings;     // HoldingsJson
};

// The outcome on out (text or JSON) and what went wrong on err, with the keep question between
// the applied values and the end; `keepOrRevert` asks it and gives the holdings after a revert
// and the revert's refusals. The exit status.
int FinishApply(const CliArgs& args, const std::string& backendLine, const std::string& backend,
                const ApplyRequest& request, const ApplyAnswer& answer, KeepPrompt* keep,
                const std::function<KeepAnswer()>& keepOrRevert, const std::function<nlohmann::json()>& holdingsNow,
                std::ostream& out, std::ostream& err) {
    if (!answer.confirmed) {
        if (keep != nullptr && keep->OnTerminal())
            err << args.Prefix() << request.modeName << " was not applied: the warning was not confirmed\n";
        else
            err << args.Prefix() << request.modeName << " overclocks the card and needs --yes; the warning reads:\n"
                << answer.warning << "\n";
        return kExitUsage;
    }
    // The presets carry on past a refused write, as the window's do; the card still did not
    // get all of the mode.
    const nlohmann::json refused = PrintRefusals(args, request, answer.refusals, err);
    nlohmann::json results = nlohmann::json::array();
    std::ostringstream holdings;
    const bool held = DescribeHoldings(args, request, true, answer.holdings, results, holdings, err);
    const bool applied = refused.empty() && held;
    const bool json = args.Has("--json");
    if (!json) {
        // Seen before the question: the user keeps what the cards took, not what was asked.
        out << backendLine << "\n";
        if (applied) out << CoreTexts::Text(answer.result) << "\n";
        out << holdings.str() << std::flush;
    }

    const KeepAnswer kept = keepOrRevert();
    const nlohmann::json revertRefused = PrintRevertRefusals(args, kept.revertRefusals, err);
    if (!kept.kept) {
        results = nlohmann::json::array();
        holdings.str("");
        DescribeHoldings(args, request, false, holdingsNow(), results, holdings, err);
    }
    // A revert the user chose is no failure; a write a card refused, on the way there or back, is.
    const int status = applied && revertRefused.empty() ? kExitOk : kExitHardware;
    if (json) {
        out << nlohmann::json{{"backend", backend},
                              {"mode", request.modeName},
                              {"applied", applied},
                              {"refusals", refused},
                              {"kept", kept.kept},
                              {"revertRefusals", revertRefused},
                              {"gpus", results}}
                   .dump(2)
            << "\n";
        return status;
    }
    if (!kept.kept)
        out << "Reverted: the settings from before " << request.modeName << " are back"
            << (revertRefused.empty() ? "" : ", but for the values named above") << ".\n"
            << holdings.str();
    return status;
}

// The same through the service that owns the cards: the warning is asked here, the change is
// made there and taken back there unless this client keeps it in time (or when it goes away).
int ApplyThroughService(ServiceClient& service, const CliArgs& args, const ApplyRequest& request, KeepPrompt* keep,
                        std::ostream& out, std::ostream& err) {
    ServiceRequest ask;
    ask.kind = RequestKind::Apply;
    for (const ApplyModeName mode :
         {ApplyModeName::Extreme, ApplyModeName::Performance, ApplyModeName::Common, ApplyModeName::Custom})
        if (request.modeName == ApplyModeText(mode)) ask.mode = mode;
    std::optional<int64_t> gpu;
    if (!args.Int("--gpu", 0, 1000000, gpu, err)) return kExitUsage;
    if (gpu) ask.gpu = static_cast<int>(*gpu);
    ask.allGpus = args.Has("--all");
    if (request.mode == kTuningModeCustom) {
        const CustomTuningValues& c = request.custom;
        ask.custom = RequestedCustom{c.coreMHz, c.memMHz, c.powerPercent, c.fan, c.gpuVfMHz, c.memVfMHz};
    }
    ApplyAnswer answer;
    if (request.mode != kTuningModeCommon) {
        // The service waits a little longer than the question, so that a yes given at its last
        // second still finds the change there.
        ask.revertAfterS = std::min(keep->RevertAfterS() + 5, kMaxRevertAfterS);
        answer.warning = CoreTexts::Text(kOverclockWarningText);
        answer.confirmed = keep->ConfirmWarning(kOverclockWarningText);
    }
    if (answer.confirmed) {
        int exitCode = kExitOk;
        const auto reply = CliService::Ask(service, ask, args.Prefix(), err, exitCode);
        if (!reply) return exitCode;
        answer.result = reply->value("result", std::string());
        answer.refusals = reply->at("refusals");
        answer.holdings = reply->at("gpus");
    }
    nlohmann::json holdingsAfter = answer.holdings;
    const auto keepOrRevert = [&]() {
        KeepAnswer outcome;
        if (request.mode == kTuningModeCommon) return outcome;
        ServiceRequest decision;
        decision.kind = keep->AskKeep() ? RequestKind::Keep : RequestKind::Revert;
        int exitCode = kExitOk;
        const auto reply = CliService::Ask(service, decision, args.Prefix(), err, exitCode);
        outcome.kept = reply && reply->value("kept", false);
        if (!reply) return outcome;  // said why: the service took the change back on its own
        if (reply->contains("revertRefusals")) outcome.revertRefusals = reply->at("revertRefusals");
        if (reply->contains("gpus")) holdingsAfter = reply->at("gpus");
        if (reply->contains("saveError"))
            err << args.Prefix() << "kept, but not stored for the next start: " << reply->at("saveError").get<std::string>()
                << "\n";
        return outcome;
    };
    const auto holdingsNow = [&]() { return holdingsAfter; };
    return FinishApply(args, service.BackendLine(), service.Hello().value("backend", std::string()), request, answer,
                       keep, keepOrRevert, holdingsNow, out, err);
}

}  // namespace

int RunApplyCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CliArgs parsed("apply", args);
    if (!parsed.Parse({"--all", "--yes", "--json", "--help"},
                      {"--gpu", "--core", "--mem", "--power", "--fan", "--gpu-vf", "--mem-vf", "--revert-after"}, err))
        return kExitUsage;
    int exitCode = kExitOk;
    const std::optional<ApplyRequest> request = ParseApply(parsed, out, err, exitCode);
    if (!request) return exitCode;
    // Common brings the card's defaults back, the settings a revert would be safe in: it is
    // kept at once, so it stays a way back that needs no terminal.
    std::optional<KeepPrompt> keep;
    if (request->mode != kTuningModeCommon) {
        keep = KeepPrompt::Prepare(parsed, request->modeName, err,
                                   std::string("the overclocking warning --yes answers reads:\n") +
                                       std::string(CoreTexts::Text(kOverclockWarningText)) + "\n");
        if (!keep) return kExitUsage;
    }
    KeepPrompt* const prompt = keep ? &*keep : nullptr;
    if (auto service = CliService::Open(err, exitCode))
        return ApplyThroughService(*service, parsed, *request, prompt, out, err);
    if (exitCode != kExitOk) return exitCode;

    auto session = CliSession::Open(err, exitCode);
    if (!session) return exitCode;
    const std::optional<ApplyTargets> targets = CheckApply(parsed, *session, *request, err);
    if (!targets) return kExitUsage;

    GpuBoardTable& boards = session->Boards();
    const TuningApply::Order order{request->mode, targets->selected, parsed.Has("--all"), request->custom};
    const TuningRevert before = TuningRevert::Capture(boards, TuningApply::Gpus(boards, order));
    AppState state;
    const TuningApply::Run run = TuningApply::Apply(boards, state, order, [&](const std::string& text) {
        return prompt != nullptr && prompt->ConfirmWarning(text);
    });
    ApplyAnswer answer;
    answer.confirmed = run.outcome != ApplyOutcome::Refused;
    answer.warning = run.warning;
    answer.result = run.result;
    answer.refusals = RefusalsWithWords(run.report);
    answer.holdings = TuningApply::HoldingsJson(boards, targets->gpus);
    return FinishApply(
        parsed, session->BackendLine(), session->Library().BackendName(), *request, answer, prompt,
        [&] {
            const KeepOutcome outcome = prompt != nullptr ? prompt->KeepOrRevert(before) : KeepOutcome{};
            return KeepAnswer{outcome.kept, RefusalsWithWords(outcome.revert)};
        },
        [&] { return TuningApply::HoldingsJson(boards, targets->gpus); }, out, err);
}

}  // namespace pyx
