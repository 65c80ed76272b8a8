#include "cli/ApplyCommand.h"

#include <map>

#include <nlohmann/json.hpp>

#include "app/AppState.h"
#include "app/TuningController.h"
#include "app/TuningRanges.h"
#include "cli/CliArgs.h"
#include "cli/CliDiagnostics.h"
#include "cli/CliSession.h"

namespace pyx {

namespace {

const char* kApplyHelp =
    "usage: pyxtunectl apply extreme|performance|common [--gpu N | --all] [--yes] [--json]\n"
    "       pyxtunectl apply custom [--gpu N | --all] --core MHZ --mem MHZ --power PERCENT --fan VALUE\n"
    "                               [--gpu-vf MHZ --mem-vf MHZ] [--yes] [--json]\n"
    "  Applies a tuning mode as the window's Apply does (without its lighting half).\n"
    "  extreme, performance and custom overclock: they are refused with the warning unless\n"
    "  --yes confirms it. common restores the card's defaults and needs no confirmation.\n"
    "  --gpu N          the GPU to tune (default 0)\n"
    "  --all            every GPU, as with the window's link button\n"
    "  --core MHZ       graphics clock offset      --mem MHZ   memory clock offset\n"
    "  --power PERCENT  power target               --fan VALUE fan speed (percent, RPM on a\n"
    "                   tachometer-driven fan; fan-cooler level 0..100 where the fan slider is off)\n"
    "  --gpu-vf MHZ, --mem-vf MHZ  offsets of the VF points on cards that have a VF range\n"
    "                   (default: --core and --mem)\n"
    "  Values outside a card's range are refused with the range. Exit status 1 when the card\n"
    "  did not take a custom value or refused a write of a preset.\n";

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
    err << args.Prefix() << option << ": " << value << " " << unit << " is outside GPU " << gpu << "'s range "
        << slider.min << ".." << slider.max << " " << unit << "\n";
    return false;
}

// Every value must fit every GPU it goes to.
bool CheckCustomValues(const CliArgs& args, GpuBoardTable& boards, const std::vector<int>& gpus,
                       const CustomValues& v, std::ostream& err) {
    for (const int gpu : gpus) {
        TuningPage card;
        {
            CliDiagnostics quiet;
            ReadSliderRanges(boards, gpu, card);
        }
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

bool ReadCustomValues(const CliArgs& args, CustomValues& v, std::ostream& err) {
    constexpr int64_t kWide = 1000000;
    std::optional<int64_t> core, mem, power, fan, gpuVf, memVf;
    if (!args.Int("--core", -kWide, kWide, core, err) || !args.Int("--mem", -kWide, kWide, mem, err) ||
        !args.Int("--power", 0, kWide, power, err) || !args.Int("--fan", 0, kWide, fan, err) ||
        !args.Int("--gpu-vf", -kWide, kWide, gpuVf, err) || !args.Int("--mem-vf", -kWide, kWide, memVf, err))
        return false;
    for (const char* needed : {"--core", "--mem", "--power", "--fan"})
        if (!args.Has(needed)) {
            err << args.Prefix() << "custom needs " << needed << " (accepted: --core MHZ --mem MHZ --power PERCENT "
                << "--fan VALUE [--gpu-vf MHZ --mem-vf MHZ])\n";
            return false;
        }
    v = {*core, *mem, *power, *fan, gpuVf.value_or(*core), memVf.value_or(*mem)};
    return true;
}

}  // namespace

int RunApplyCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CliArgs parsed("apply", args);
    if (!parsed.Parse({"--all", "--yes", "--json", "--help"},
                      {"--gpu", "--core", "--mem", "--power", "--fan", "--gpu-vf", "--mem-vf"}, err))
        return kExitUsage;
    if (parsed.Has("--help")) {
        out << kApplyHelp;
        return kExitOk;
    }
    if (parsed.Words().size() != 1 || kModes.count(parsed.Words().front()) == 0) {
        err << parsed.Prefix() << (parsed.Words().empty() ? "a mode is needed" : "\"" + parsed.Words().front() + "\"")
            << (parsed.Words().size() > 1 ? " and more words" : "")
            << " (accepted modes: extreme, performance, common, custom)\n";
        return kExitUsage;
    }
    const std::string modeName = parsed.Words().front();
    const int mode = kModes.at(modeName);
    if (parsed.Has("--all") && parsed.Has("--gpu")) {
        err << parsed.Prefix() << "--gpu and --all exclude each other (accepted: one of them)\n";
        return kExitUsage;
    }
    CustomValues custom;
    if (mode == kTuningModeCustom) {
        if (!ReadCustomValues(parsed, custom, err)) return kExitUsage;
    } else {
        for (const char* option : {"--core", "--mem", "--power", "--fan", "--gpu-vf", "--mem-vf"})
            if (parsed.Has(option)) {
                err << parsed.Prefix() << option << " belongs to custom (" << modeName << " takes: --gpu N | --all, --yes)\n";
                return kExitUsage;
            }
    }

    int exitCode = kExitOk;
    auto session = CliSession::Open(err, exitCode);
    if (!session) return exitCode;
    GpuBoardTable& boards = session->Boards();
    const auto selected = session->SelectGpu(parsed, err);
    if (!selected) return kExitUsage;
    std::vector<int> gpus;
    if (parsed.Has("--all")) {
        for (int gpu = 0; gpu < boards.gpuCount; ++gpu) gpus.push_back(gpu);
    } else {
        gpus.push_back(*selected);
    }
    if (mode == kTuningModeCustom && !CheckCustomValues(parsed, boards, gpus, custom, err)) return kExitUsage;

    TuningPage page;
    page.selectedGpu = *selected;
    page.linkAllGpus = parsed.Has("--all");
    page.tuningMode = mode;
    {
        CliDiagnostics quiet;
        ReadSliderRanges(boards, *selected, page);
    }
    if (mode == kTuningModeCustom) {
        // The checks above hold for every GPU, so nothing is clamped here.
        page.gpuClock.pos = static_cast<int32_t>(custom.core);
        page.memClock.pos = static_cast<int32_t>(custom.mem);
        page.power.pos = static_cast<int32_t>(custom.power);
        page.fan.pos = static_cast<int32_t>(custom.fan);
        page.gpuVf.pos = static_cast<int32_t>(custom.gpuVf);
        page.memVf.pos = static_cast<int32_t>(custom.memVf);
    }

    const bool json = parsed.Has("--json");
    AppState state;
    TuningCallbacks callbacks;
    std::string warning;
    std::string result;
    callbacks.confirmWarning = [&](const std::string& text, const std::string&) {
        warning = text;
        return parsed.Has("--yes");
    };
    callbacks.showResult = [&](const std::string& text, const std::string&) {
        result = text;
    };
    TuningController controller(boards, state, callbacks);
    ApplyOutcome outcome;
    std::vector<PresetRefusal> refusals;
    {
        CliDiagnostics quiet;
        outcome = controller.ApplyMode(page, &refusals);
    }
    if (outcome == ApplyOutcome::Refused) {
        err << parsed.Prefix() << modeName << " overclocks the card and needs --yes; the warning reads:\n"
            << warning << "\n";
        return kExitUsage;
    }

    if (!json) out << result << "\n";
    // What the cards hold now, and for custom whether they took what was asked.
    nlohmann::json results = nlohmann::json::array();
    int status = kExitOk;
    for (const int gpu : gpus) {
        TuningPage now;
        {
            CliDiagnostics quiet;
            ReadSliderRanges(boards, gpu, now);
        }
        if (json) {
            results.push_back({{"gpu", gpu},
                               {"graphicsOffsetMHz", now.gpuClock.pos},
                               {"memoryOffsetMHz", now.memClock.pos},
                               {"powerPercent", now.power.enabled ? nlohmann::json(now.power.pos) : nlohmann::json(nullptr)}});
        } else {
            out << "GPU " << gpu << "  graphics offset " << now.gpuClock.pos << " MHz  memory offset "
                << now.memClock.pos << " MHz  power target "
                << (now.power.enabled ? std::to_string(now.power.pos) + " %" : std::string("-")) << "\n";
        }
        if (mode != kTuningModeCustom) continue;
        const bool vf = now.gpuVf.HasRange();
        const int64_t graphics = vf ? custom.gpuVf : custom.core;
        const int64_t memory = vf ? custom.memVf : custom.mem;
        if (now.gpuClock.pos != graphics || now.memClock.pos != memory ||
            (now.power.enabled && now.power.pos != custom.power)) {
            err << parsed.Prefix() << "GPU " << gpu << " did not take every value: it holds graphics "
                << now.gpuClock.pos << " MHz (asked " << graphics << "), memory " << now.memClock.pos << " MHz (asked "
                << memory << "), power " << now.power.pos << " % (asked " << custom.power << ")\n";
            status = kExitHardware;
        }
    }
    if (json) out << nlohmann::json{{"mode", modeName}, {"applied", true}, {"gpus", results}}.dump(2) << "\n";
    // The presets carry on past a refused write, as the window's do; the card still did not
    // get all of the mode.
    for (const PresetRefusal& refusal : refusals) {
        err << parsed.Prefix() << "GPU " << refusal.gpu << " refused " << modeName << " (" << StatusText(refusal.status)
            << "); the writes after it were still sent\n";
        status = kExitHardware;
    }
    return status;
}

}  // namespace pyx
