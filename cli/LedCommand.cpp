#include "cli/LedCommand.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "app/AppState.h"
#include "app/MonitorReadouts.h"
#include "app/TuningSettingsStore.h"
#include "cli/CliArgs.h"
#include "cli/CliInterrupt.h"
#include "cli/CliService.h"
#include "cli/CliSession.h"
#include "led/LedApply.h"
#include "led/LedEffectEngine.h"
#include "led/LedOrder.h"
#include "led/LedProbe.h"
#include "led/LightingReset.h"
#include "led/SteadyLedPacer.h"
#include "platform/SystemPlatform.h"

namespace pyx {

namespace {

const char* kLedHelp =
    "usage: pyxtunectl led [--gpu N | --all] --target TARGET --mode NAME [--color RRGGBB] [--period S] [--hold S]\n"
    "       pyxtunectl led --reset\n"
    "       pyxtunectl led --keep-running yes|no\n"
    "  The LED page's choices for one GPU, applied as the window's Apply applies them.\n"
    "  --reset   every GPU's lighting as the window's Reset leaves it: zone controllers red\n"
    "            static, effect controllers their default mode, basic controllers white\n"
    "  --keep-running  (the Pyxtune service) whether the effects the service animates run on\n"
    "            after the window or command that ordered them has ended; kept for its next\n"
    "            start (default yes). The window's LED service controls switch the same.\n"
    "  --gpu     the GPU to light (default 0); only that GPU is driven. On a machine with\n"
    "            several GPUs the window keeps breathing in step over all of them from the\n"
    "            program; here the one GPU breathes in its own controller, as on a machine\n"
    "            with one GPU, and keeps breathing after the command ends.\n"
    "  --all     every GPU, as the window drives them: breathing runs in step over all of\n"
    "            them, animated by this program (or the service) while it runs\n"
    "  --target  basic, zone-main, zone-1, zones-2-4, effect-main, effects-2-4\n"
    "  --mode    basic:   static, breathing, cycle-breathing, flash, off, gpu-load\n"
    "            zone-*:  static, rainbow, cycle-breathing, breathing, off\n"
    "            effect*: static, rainbow, ripple, marquee, color-cycle, cycle-breathing,\n"
    "                     breathing, blink, aurora, meteor, off\n"
    "  --color   the colour as six hex digits (default ff0000)\n"
    "  --period  seconds 3..10 of a basic breathing, cycle-breathing or flash step (default 3)\n"
    "  --hold    seconds to keep the basic controller's effect, which this program animates,\n"
    "            running; default: until Ctrl-C, 1 s for static and off. gpu-load follows the\n"
    "            GPU's load, read every second. The controller keeps its last colour afterwards.\n"
    "  Exit status 1 when a controller refused a write (each refused write is named); 2 when\n"
    "  the lighting of several GPUs could not be kept in \"Led.txt\" for the LED service (why\n"
    "  is said; the lighting is shown all the same).\n"
    "  Where the Pyxtune service owns the cards, it is asked instead: it animates the effect\n"
    "  until the lighting is changed again (--hold does not apply), keeps the lighting in its\n"
    "  own \"Led.txt\" and puts it back at its next start, after a resume and after a driver\n"
    "  reload (exit status 2 when it could not keep it).\n";

// The load colour shows the GPU's load as the window's monitor reads it, once a second.
void FeedGpuLoad(GpuBoardTable& boards, int gpu, LedEffectEngine& engine) {
    const MonitorReadings readings = ReadMonitors(boards, gpu);
    if (readings.gpuLoad) engine.SetGpuLoad(*readings.gpuLoad);
}

// Waits until the effect thread has written its first frame to the GPU (the load colour
// waits half a second first; a frame may wait 2 s for the bus); false on an interrupt.
bool WaitFirstFrame(const LedEffectEngine& engine, int gpu) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (engine.FrameTally(gpu).frames == 0 && std::chrono::steady_clock::now() < giveUp)
        if (!CliInterrupt::Wait(std::chrono::milliseconds(10))) return false;
    return true;
}

// The options, each checked before any card is touched; none when one is wrong (said on err).
std::optional<LedOrder> ParseLedOrder(const CliArgs& parsed, std::ostream& err) {
    std::optional<int64_t> periodS;
    if (!parsed.Int("--period", 3, 10, periodS, err)) return std::nullopt;
    const auto colour = parsed.Value("--color");
    LedOrder::Refusal refusal;
    auto order = LedOrder::FromNames(parsed.Value("--target").value_or(""), parsed.Value("--mode").value_or(""),
                                     colour ? std::optional<std::string_view>(*colour) : std::nullopt, periodS, refusal);
    if (!order) err << parsed.Prefix() << "--" << refusal.field << ": " << refusal.why << "\n";
    return order;
}

// Keeps an effect this program animates running: for --hold seconds (1 s for the still
// ones), else until Ctrl-C; the load colour is fed once a second.
void HoldEffect(GpuBoardTable& boards, int gpu, const LedOrder& order, std::optional<int64_t> holdS,
                LedEffectEngine& engine, const CliArgs& parsed, std::ostream& err) {
    std::optional<std::chrono::steady_clock::time_point> until;
    if (holdS || order.Still())
        until = std::chrono::steady_clock::now() + std::chrono::seconds(holdS.value_or(1));
    else
        err << parsed.Prefix() << "the effect is driven by this program; Ctrl-C ends it\n";
    for (;;) {
        auto step = std::chrono::milliseconds(1000);
        if (until) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(*until - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            step = std::min(step, left);
        }
        if (!CliInterrupt::Wait(step)) break;
        if (order.FollowsLoad()) FeedGpuLoad(boards, gpu, engine);
    }
}

// Sends the order to the chosen GPU alone (or to every GPU, breathing in step, as the window
// does), as the window's Apply sends its page; with several
// GPUs the window keeps the lighting in "Led.txt" in its settings folder for the LED service,
// and so does this tool. Returns the writes the controllers refused; why "Led.txt" was not
// saved goes to saveFailure.
LedWriteResult DriveLighting(CliSession& session, int loadGpu, std::optional<int> onlyGpu, const LedOrder& order,
                             const LedPageState& page, LedEffectEngine& engine, std::optional<std::string>& saveFailure) {
    GpuBoardTable& boards = session.Boards();
    if (order.FollowsLoad()) FeedGpuLoad(boards, loadGpu, engine);
    return LedOrder::Drive(engine, page, onlyGpu, [&](const LedSettings& settings, int gpuMode) {
        std::string why;
        if (!session.SettingsFolderForSaving(why)) {
            saveFailure = why;
            return;
        }
        AppState state;
        state.ledSettings = settings;
        state.gpuMode = static_cast<uint8_t>(gpuMode);
        const std::filesystem::path file = *session.Settings().LedFile();
        if (std::error_code failed; SaveTuningSettings(boards, state, file, &failed) != 1)
            saveFailure = CannotBeWrittenText(file, failed);
    });
}

// An answer of the service that lit the cards but could not keep the lighting for its next
// start: said as the in-process save failure is (exit status 2); else exitCode.
int SayIfNotKept(const nlohmann::json& answer, const CliArgs& parsed, std::ostream& err, int exitCode) {
    const auto notKept = answer.find("notKept");
    if (notKept == answer.end() || !notKept->is_string()) return exitCode;
    err << parsed.Prefix() << "the lighting could not be kept for the next start: " << notKept->get<std::string>()
        << "\n";
    return kExitUsage;
}

// The same through the service that owns the cards: it checks the order against the GPU's
// controllers and, for an effect it animates, keeps it running after this command ends.
int LedThroughService(ServiceClient& service, const CliArgs& parsed, const LedOrder& order,
                      std::optional<int64_t> holdS, std::ostream& out, std::ostream& err) {
    std::optional<int64_t> gpu = 0;
    if (!parsed.Int("--gpu", 0, 1000000, gpu, err)) return kExitUsage;
    ServiceRequest request;
    request.kind = RequestKind::Lighting;
    if (parsed.Has("--all"))
        request.allGpus = true;
    else
        request.gpu = static_cast<int>(*gpu);
    request.ledTarget = order.TargetName();
    request.ledMode = order.ModeName();
    if (const auto colour = parsed.Value("--color")) request.ledColour = *colour;
    request.ledPeriodS = order.PeriodS();
    int exitCode = kExitOk;
    const auto answer = CliService::Ask(service, request, parsed.Prefix(), err, exitCode);
    if (!answer) return exitCode;
    out << service.BackendLine() << "\n";
    out << (request.allGpus ? std::string("Every GPU") : "GPU " + std::to_string(*gpu)) << ": " << order.TargetName()
        << " set to " << order.ModeName() << "\n";
    if (answer->value("animated", false))
        out << "The Pyxtune service animates the effect until the lighting is changed again"
            << (holdS ? " (--hold does not apply)" : "") << ".\n";
    return SayIfNotKept(*answer, parsed, err, kExitOk);
}

// --reset: every GPU's lighting as the window's Reset leaves it; through the service where it
// owns the cards (which keeps it as it keeps an order).
int LedReset(const CliArgs& parsed, std::ostream& out, std::ostream& err) {
    int exitCode = kExitOk;
    if (auto service = CliService::Open(err, exitCode)) {
        ServiceRequest request;
        request.kind = RequestKind::LightingReset;
        const auto answer = CliService::Ask(*service, request, parsed.Prefix(), err, exitCode);
        if (!answer) return exitCode;
        out << service->BackendLine() << "\nEvery GPU's lighting was reset.\n";
        return SayIfNotKept(*answer, parsed, err, kExitOk);
    }
    if (exitCode != kExitOk) return exitCode;
    auto session = CliSession::Open(err, exitCode);
    if (!session) return exitCode;
    SteadyLedPacer pacer;
    LedEffectEngine engine(session->Boards(), pacer);
    AppState state;
    const LightingReset::Outcome outcome = LightingReset::AllGpus(engine, state.ledSettings);
    out << session->BackendLine() << "\n";
    // The basic controllers' white is the program's frame: it lands before the command ends.
    if (outcome.basicGpu) {
        CliInterrupt::Install();
        (void)WaitFirstFrame(engine, *outcome.basicGpu);
    }
    engine.Shutdown();
    if (!outcome.refusals.empty()) {
        err << parsed.Prefix() << "the lighting's reset was refused:\n" << outcome.refusals;
        return kExitHardware;
    }
    out << "Every GPU's lighting was reset.\n";
    return kExitOk;
}

// --keep-running: the service's choice; nothing else keeps an effect running after its program.
int LedKeepRunning(const CliArgs& parsed, const std::string& value, std::ostream& out, std::ostream& err) {
    if (value != "yes" && value != "no") {
        err << parsed.Prefix() << "--keep-running: \"" << value << "\" is not accepted (accepted: yes, no)\n";
        return kExitUsage;
    }
    int exitCode = kExitOk;
    auto service = CliService::Open(err, exitCode);
    if (!service) {
        if (exitCode == kExitOk)
            err << parsed.Prefix() << "--keep-running is the Pyxtune service's choice, and no service answers "
                << "(sudo systemctl enable --now pyxtuned.socket)\n";
        return exitCode == kExitOk ? kExitUsage : exitCode;
    }
    ServiceRequest request;
    request.kind = RequestKind::ServiceSettingsSet;
    request.keepLighting = value == "yes";
    const auto answer = CliService::Ask(*service, request, parsed.Prefix(), err, exitCode);
    if (!answer) return exitCode;
    out << service->BackendLine() << "\n"
        << (value == "yes" ? "The service keeps the lighting's effects running after the program that ordered them ends.\n"
                           : "The service stops the lighting's effects when the program that ordered them ends.\n");
    if (answer->value("stopped", false)) out << "The effects running without their program were stopped.\n";
    if (answer->contains("saveError")) {
        err << parsed.Prefix() << "the choice holds until the service ends, but was not kept: "
            << answer->value("saveError", std::string()) << "\n";
        return kExitUsage;
    }
    return kExitOk;
}

}  // namespace

int RunLedCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CliArgs parsed("led", args);
    if (!parsed.Parse({"--help", "--all", "--reset"},
                      {"--gpu", "--target", "--mode", "--color", "--period", "--hold", "--keep-running"}, err))
        return kExitUsage;
    if (parsed.Has("--help")) {
        out << kLedHelp;
        return kExitOk;
    }
    if (!parsed.Words().empty()) {
        err << parsed.Prefix() << "unknown argument \"" << parsed.Words().front() << "\"\n";
        return kExitUsage;
    }
    for (const char* alone : {"--reset", "--keep-running"}) {
        if (!parsed.Has(alone)) continue;
        for (const char* option :
             {"--all", "--gpu", "--target", "--mode", "--color", "--period", "--hold", "--reset", "--keep-running"})
            if (option != std::string_view(alone) && parsed.Has(option)) {
                err << parsed.Prefix() << alone << " takes no other option (" << option << ")\n";
                return kExitUsage;
            }
        return parsed.Has("--reset") ? LedReset(parsed, out, err)
                                     : LedKeepRunning(parsed, parsed.Value("--keep-running").value_or(""), out, err);
    }
    const std::optional<LedOrder> order = ParseLedOrder(parsed, err);
    std::optional<int64_t> holdS;
    if (!order || !parsed.Int("--hold", 0, 86400, holdS, err)) return kExitUsage;
    const bool all = parsed.Has("--all");
    if (all && parsed.Value("--gpu")) {
        err << parsed.Prefix() << "--gpu and --all exclude each other\n";
        return kExitUsage;
    }

    int exitCode = kExitOk;
    if (auto service = CliService::Open(err, exitCode)) return LedThroughService(*service, parsed, *order, holdS, out, err);
    if (exitCode != kExitOk) return exitCode;
    auto session = CliSession::Open(err, exitCode);
    if (!session) return exitCode;
    GpuBoardTable& boards = session->Boards();
    std::vector<int> gpus;
    if (all) {
        for (int g = 0; g < std::min<int>(boards.gpuCount, kMaxGpus); ++g) gpus.push_back(g);
    } else if (const auto selected = session->SelectGpu(parsed, err)) {
        gpus.push_back(*selected);
    }
    if (gpus.empty()) return kExitUsage;
    // The first GPU's frames and load stand for all of them.
    const std::optional<int> gpu = gpus.front();

    LedPageState page;
    for (const int g : gpus) {
        std::string why;
        if (const LedOrder::Fault fault = order->Prepare(boards, g, page, why); fault != LedOrder::Fault::None) {
            err << parsed.Prefix() << (fault == LedOrder::Fault::NoSuchController ? "--target: " : "") << why << "\n";
            return fault == LedOrder::Fault::NoSuchController ? kExitUsage : kExitHardware;
        }
    }

    SteadyLedPacer pacer;
    LedEffectEngine engine(boards, pacer);
    std::optional<std::string> saveFailure;
    const LedWriteResult refused =
        DriveLighting(*session, *gpu, all ? std::nullopt : gpu, *order, page, engine, saveFailure);
    out << session->BackendLine() << "\n";
    // The lighting is shown all the same; the LED service would not know it.
    if (saveFailure) err << parsed.Prefix() << *saveFailure << "\n";
    const int shownStatus = saveFailure ? kExitUsage : kExitOk;

    const char* targetName = order->TargetName();
    auto refuse = [&](const std::string& what) {
        engine.Shutdown();
        err << parsed.Prefix() << "GPU " << *gpu << ": the " << targetName << " controller " << what << "\n";
        return kExitHardware;
    };
    if (!refused.Clean())
        return refuse("refused " + std::to_string(refused.refused.size()) + " write(s): " + DescribeRefusedWrites(refused) +
                      "; it may not show " + order->ModeName());

    const bool animated = LedOrder::AnyEffectRunning(engine);
    if (animated) {
        CliInterrupt::Install();
        if (!WaitFirstFrame(engine, *gpu)) {
            engine.Shutdown();
            return shownStatus;
        }
        const LedFrameTally first = engine.FrameTally(*gpu);
        if (first.refused > 0) return refuse("refused the effect's first frame: " + DescribeRefusedWrites(first.firstRefused));
    }
    out << (all ? std::string("Every GPU") : "GPU " + std::to_string(*gpu)) << ": " << targetName << " set to "
        << order->ModeName() << "\n";
    if (animated) HoldEffect(boards, *gpu, *order, holdS, engine, parsed, err);
    engine.Shutdown();
    const LedFrameTally tally = engine.FrameTally(*gpu);
    if (tally.refused > 0)
        return refuse("refused " + std::to_string(tally.refused) + " of " + std::to_string(tally.frames) +
                      " frames of the effect (first: " + DescribeRefusedWrites(tally.firstRefused) + ")");
    return shownStatus;
}

}  // namespace pyx
