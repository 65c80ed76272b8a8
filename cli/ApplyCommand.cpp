#include "cli/ApplyCommand.h"

#include <map>
#include <sstream>

#include <nlohmann/json.hpp>

#include "app/AppState.h"
#include "app/CoreTexts.h"
#include "app/TuningController.h"
#include "app/TuningRanges.h"
#include "cli/CliArgs.h"
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

struct CustomValues {
    int64_t core = 0, mem = 0, power = 0, fan = 0, gpuVf = 0, memVf = 0;
};

bool InRange(const CliArgs& args, const char* option, int64_t value, const TuningSlider& slider, int gpu,
             const char* unit, std::ostream& err) {
    if (value >= slider.min && value <= slider.max) return true;
    // The value as written: one too long for 64 bits was saturated.
    err << args.Prefix() << option << ": " << args.Value(option).value_or(std::to_string(value)) << " " << unit
        << " is outside GPU " << gpu << "'s range " << slider.min << ".." << slider.max << " " << unit << "\n";
    return false;
}

// Every value must fit every GPU it goes to.
bool CheckCustomValues(const CliArgs& args, GpuBoardTable& boards, const std::vector<int>& gpus,
                       const CustomValues& v, std::ostream& err) {
    for (const int gpu : gpus) {
        TuningPage card;
        ReadSliderRanges(boards, gpu, card);
        const bool fanRange = card.fan.enabled;
        const TuningSlider fanLevels{0, 0, 100, true};
        if (!InRange(args, "--core", v.core, card.gpuClock, gpu, "MHz", err) ||
            !InRange(args, "--mem", v.mem, card.memClock, gpu, "MHz", err) ||
            (card.power.enabled && !InRange(args, "--power", v.power, card.power, gpu, "%", err)) ||
            !InRange(args, "--fan", v.fan, fanRange ? card.fan : fanLevels, gpu, fanRange ? "(fan)" : "%", err))
            return false;
        if (card.gpuVf.HasRange() && (!InRange(args, "--gpu-vf", v.gpuVf, card.gpuVf, gpu, "MHz", err) ||
                                      !InRange(args, "--mem-vf", v.memVf, card.memVf, gpu, "MHz", err)))
            return false;
        if (!card.power.enabled)
            err << args.Prefix() << "note: GPU " << gpu << " has no usable power range; --power is not sent\n";
    }
    return true;
}

// Whole numbers only; their ranges are the card's, checked once the cards are open.
bool ReadCustomValues(const CliArgs& args, CustomValues& v, std::ostream& err) {
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
    CustomValues custom;  // custom only
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

// What the controller did, and what it said on the way.
struct ApplyRun {
    ApplyOutcome outcome = ApplyOutcome::Refused;
    TuningReport report;
    std::string warning;  // the overclocking warning, when one was asked
    std::string result;   // the result message
};

// The mode applied as the window's Apply applies it, --yes standing for the warning's OK.
ApplyRun RunApply(GpuBoardTable& boards, const ApplyRequest& request, const TuningPage& ranges,
                  KeepPrompt* keep) {
    TuningPage page = ranges;
    if (request.mode == kTuningModeCustom) {
        // The checks hold for every GPU, so nothing is clamped here.
        page.gpuClock.pos = static_cast<int32_t>(request.custom.core);
        page.memClock.pos = static_cast<int32_t>(request.custom.mem);
        page.power.pos = static_cast<int32_t>(request.custom.power);
        page.fan.pos = static_cast<int32_t>(request.custom.fan);
        page.gpuVf.pos = static_cast<int32_t>(request.custom.gpuVf);
        page.memVf.pos = static_cast<int32_t>(request.custom.memVf);
    }

    ApplyRun run;
    AppState state;
    TuningCallbacks callbacks;
    callbacks.confirmWarning = [&](const std::string& text, const std::string&) {
        run.warning = text;
        return keep != nullptr && keep->ConfirmWarning(text);
    };
    callbacks.showResult = [&](const std::string& text, const std::string&) { run.result = text; };
    TuningController controller(boards, state, callbacks);
    run.outcome = controller.ApplyMode(page, &run.report);
    return run;
}

// Each refused write on err; the same as JSON.
nlohmann::json PrintRefusals(const CliArgs& args, const ApplyRequest& request, const TuningReport& report,
                             std::ostream& err) {
    nlohmann::json refused = nlohmann::json::array();
    const std::vector<TuningWriteResult> refusals = report.Refusals();
    for (const TuningWriteResult& r : refusals) {
        err << args.Prefix() << "GPU " << r.gpu << " refused " << request.modeName << "'s " << DescribeWrite(r) << ": "
            << StatusInWords(r.status) << "\n";
        refused.push_back(RefusalJson(r));
    }
    if (!refusals.empty()) err << args.Prefix() << "the writes after a refused one were still sent\n";
    return refused;
}

// What each card holds now, as a line of text or a JSON entry; for custom (when `asked`),
// false (after saying so) when a card does not hold what was asked.
bool DescribeHoldings(const CliArgs& args, GpuBoardTable& boards, const ApplyRequest& request, bool asked,
                      const std::vector<int>& gpus, nlohmann::json& results, std::ostringstream& holdings,
                      std::ostream& err) {
    bool held = true;
    for (const int gpu : gpus) {
        TuningPage now;
        ReadSliderRanges(boards, gpu, now);
        results.push_back({{"gpu", gpu},
                           {"graphicsOffsetMHz", now.gpuClock.pos},
                           {"memoryOffsetMHz", now.memClock.pos},
                           {"powerPercent", now.power.enabled ? nlohmann::json(now.power.pos) : nlohmann::json(nullptr)}});
        holdings << "GPU " << gpu << "  graphics offset " << now.gpuClock.pos << " MHz  memory offset "
                 << now.memClock.pos << " MHz  power target "
                 << (now.power.enabled ? std::to_string(now.power.pos) + " %" : std::string("-")) << "\n";
        if (!asked || request.mode != kTuningModeCustom) continue;
        const CustomValues& custom = request.custom;
        const bool vf = now.gpuVf.HasRange();
        const int64_t graphics = vf ? custom.gpuVf : custom.core;
        const int64_t memory = vf ? custom.memVf : custom.mem;
        if (now.gpuClock.pos != graphics || now.memClock.pos != memory ||
            (now.power.enabled && now.power.pos != custom.power)) {
            err << args.Prefix() << "GPU " << gpu << " did not take every value: it holds graphics "
                << now.gpuClock.pos << " MHz (asked " << graphics << "), memory " << now.memClock.pos << " MHz (asked "
                << memory << "), power " << now.power.pos << " % (asked " << custom.power << ")\n";
            held = false;
        }
    }
    return held;
}

// The outcome on out (text or JSON) and what went wrong on err, with the keep question between
// the applied values and the end; the exit status.
int FinishApply(const CliArgs& args, CliSession& session, const ApplyRequest& request, const ApplyTargets& targets,
                const ApplyRun& run, KeepPrompt* keep, const TuningRevert& before, std::ostream& out,
                std::ostream& err) {
    if (run.outcome == ApplyOutcome::Refused) {
        if (keep != nullptr && keep->OnTerminal())
            err << args.Prefix() << request.modeName << " was not applied: the warning was not confirmed\n";
        else
            err << args.Prefix() << request.modeName << " overclocks the card and needs --yes; the warning reads:\n"
                << run.warning << "\n";
        return kExitUsage;
    }
    // The presets carry on past a refused write, as the window's do; the card still did not
    // get all of the mode.
    const nlohmann::json refused = PrintRefusals(args, request, run.report, err);
    nlohmann::json results = nlohmann::json::array();
    std::ostringstream holdings;
    const bool held = DescribeHoldings(args, session.Boards(), request, true, targets.gpus, results, holdings, err);
    const bool applied = refused.empty() && held;
    const bool json = args.Has("--json");
    if (!json) {
        // Seen before the question: the user keeps what the cards took, not what was asked.
        out << session.BackendLine() << "\n";
        if (applied) out << CoreTexts::Text(run.result) << "\n";
        out << holdings.str() << std::flush;
    }

    const KeepOutcome kept = keep != nullptr ? keep->KeepOrRevert(before) : KeepOutcome{};
    const nlohmann::json revertRefused = PrintRevertRefusals(args, kept.revert, err);
    if (!kept.kept) {
        results = nlohmann::json::array();
        holdings.str("");
        DescribeHoldings(args, session.Boards(), request, false, targets.gpus, results, holdings, err);
    }
    // A revert the user chose is no failure; a write a card refused, on the way there or back, is.
    const int status = applied && revertRefused.empty() ? kExitOk : kExitHardware;
    if (json) {
        out << nlohmann::json{{"backend", session.Library().BackendName()},
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

    auto session = CliSession::Open(err, exitCode);
    if (!session) return exitCode;
    const std::optional<ApplyTargets> targets = CheckApply(parsed, *session, *request, err);
    if (!targets) return kExitUsage;

    GpuBoardTable& boards = session->Boards();
    TuningPage page;
    page.selectedGpu = targets->selected;
    page.linkAllGpus = parsed.Has("--all");
    page.tuningMode = request->mode;
    ReadSliderRanges(boards, targets->selected, page);
    KeepPrompt* const prompt = keep ? &*keep : nullptr;
    const TuningRevert before = TuningRevert::Capture(boards, TuningRevert::ApplyTargets(boards, page));
    const ApplyRun run = RunApply(boards, *request, page, prompt);
    return FinishApply(parsed, *session, *request, *targets, run, prompt, before, out, err);
}

}  // namespace pyx
