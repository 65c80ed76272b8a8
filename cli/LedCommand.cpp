#include "cli/LedCommand.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "app/AppState.h"
#include "app/MonitorReadouts.h"
#include "app/TuningSettingsStore.h"
#include "cli/CliArgs.h"
#include "cli/CliInterrupt.h"
#include "cli/CliSession.h"
#include "led/LedApply.h"
#include "led/LedEffectEngine.h"
#include "led/LedProbe.h"
#include "led/SteadyLedPacer.h"
#include "platform/SystemPlatform.h"

namespace pyx {

namespace {

const char* kLedHelp =
    "usage: pyxtunectl led [--gpu N] --target TARGET --mode NAME [--color RRGGBB] [--period S] [--hold S]\n"
    "  The LED page's choices for one GPU, applied as the window's Apply applies them.\n"
    "  --gpu     the GPU to light (default 0); only that GPU is driven. On a machine with\n"
    "            several GPUs the window keeps breathing in step over all of them from the\n"
    "            program; here the one GPU breathes in its own controller, as on a machine\n"
    "            with one GPU, and keeps breathing after the command ends.\n"
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
    "  is said; the lighting is shown all the same).\n";

enum class Family { Basic, Zone, Effect };

struct TargetName {
    const char* name;
    LedTarget target;
    Family family;
};
const TargetName kTargets[] = {{"basic", LedTarget::Basic, Family::Basic},
                               {"zone-main", LedTarget::Zone58, Family::Zone},
                               {"zone-1", LedTarget::Zone46, Family::Zone},
                               {"zones-2-4", LedTarget::ZoneGroup, Family::Zone},
                               {"effect-main", LedTarget::EffectAC, Family::Effect},
                               {"effects-2-4", LedTarget::EffectGroup, Family::Effect}};

struct ModeName {
    const char* name;
    uint32_t value;
};
// The values the page's buttons store: LEDMODE, GM1MODE and GM2MODE.
const std::vector<ModeName> kBasicModes = {{"static", 0}, {"breathing", 1}, {"cycle-breathing", 2},
                                           {"flash", 3},  {"off", 4},       {"gpu-load", 6}};
const std::vector<ModeName> kZoneModes = {
    {"static", 1}, {"rainbow", 2}, {"cycle-breathing", 3}, {"breathing", 4}, {"off", 5}};
const std::vector<ModeName> kEffectModes = {{"static", 1},      {"rainbow", 2}, {"ripple", 3},
                                            {"marquee", 4},     {"color-cycle", 5}, {"cycle-breathing", 6},
                                            {"breathing", 7},   {"blink", 8},   {"aurora", 9},
                                            {"meteor", 10},     {"off", 11}};

const std::vector<ModeName>& ModesOf(Family family) {
    return family == Family::Basic ? kBasicModes : family == Family::Zone ? kZoneModes : kEffectModes;
}

std::vector<std::string> Names(const std::vector<ModeName>& modes) {
    std::vector<std::string> names;
    for (const auto& m : modes) names.push_back(m.name);
    return names;
}

bool ParseColour(const std::string& text, LedColour& colour) {
    if (text.size() != 6 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return false;
    const unsigned long value = std::strtoul(text.c_str(), nullptr, 16);
    colour = {static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
    return true;
}

bool AnyEffectRunning(const LedEffectEngine& engine) {
    return engine.Running(LedEffectFamily::Basic) || engine.Running(LedEffectFamily::ZoneSync) ||
           engine.Running(LedEffectFamily::EffectSync);
}

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

// What the command line asks for, checked against the controller kinds' offers.
struct LedRequest {
    const TargetName* target = nullptr;
    const ModeName* mode = nullptr;
    LedColour colour{255, 0, 0};
    std::optional<int64_t> periodS;
    std::optional<int64_t> holdS;

    Family TargetFamily() const { return target->family; }
    bool FollowsLoad() const { return target->family == Family::Basic && mode->value == 6; }
    // Static and off on the basic controller are animated, yet show one colour.
    bool Still() const { return target->family == Family::Basic && (mode->value == 0 || mode->value == 4); }
};

// The options, each checked before any card is touched; none when one is wrong (said on err).
std::optional<LedRequest> ParseLedRequest(const CliArgs& parsed, std::ostream& err) {
    LedRequest request;
    const auto targetText = parsed.Value("--target");
    for (const auto& t : kTargets)
        if (targetText && *targetText == t.name) request.target = &t;
    if (request.target == nullptr) {
        err << parsed.Prefix() << "--target: " << (targetText ? "\"" + *targetText + "\"" : std::string("missing"))
            << " (accepted: basic, zone-main, zone-1, zones-2-4, effect-main, effects-2-4)\n";
        return std::nullopt;
    }
    const auto& modes = ModesOf(request.TargetFamily());
    const auto modeText = parsed.Value("--mode");
    for (const auto& m : modes)
        if (modeText && *modeText == m.name) request.mode = &m;
    if (request.mode == nullptr) {
        err << parsed.Prefix() << "--mode: " << (modeText ? "\"" + *modeText + "\"" : std::string("missing"))
            << " is not offered by the " << request.target->name << " controller (accepted: "
            << JoinNames(Names(modes)) << ")\n";
        return std::nullopt;
    }
    if (const auto text = parsed.Value("--color"); text && !ParseColour(*text, request.colour)) {
        err << parsed.Prefix() << "--color: \"" << *text << "\" (accepted: six hex digits RRGGBB, e.g. ff8000)\n";
        return std::nullopt;
    }
    if (!parsed.Int("--period", 3, 10, request.periodS, err) || !parsed.Int("--hold", 0, 86400, request.holdS, err))
        return std::nullopt;
    const bool timed = request.TargetFamily() == Family::Basic && request.mode->value >= 1 && request.mode->value <= 3;
    if (request.periodS && !timed) {
        err << parsed.Prefix() << "--period applies only to the basic target's breathing, cycle-breathing and flash\n";
        return std::nullopt;
    }
    return request;
}

// Probes the GPU's controllers as selecting it in the window does, and fills the page as the
// user would set it. kExitOk, or why the GPU cannot show the request (said on err).
int PreparePage(GpuBoardTable& boards, int gpu, const LedRequest& request, const CliArgs& parsed, LedPageState& page,
                std::ostream& err) {
    LedBoardState& board = page.boards[static_cast<size_t>(gpu)];
    ProbeLedControllers(boards, gpu, board);
    board.ledKind = ProbeLedKind(boards, gpu);
    if (!board.TargetAvailable(request.target->target)) {
        std::vector<std::string> offered;
        for (const auto& t : kTargets)
            if (board.TargetAvailable(t.target)) offered.push_back(t.name);
        err << parsed.Prefix() << "--target: GPU " << gpu << " has no " << request.target->name
            << " controller (accepted here: " << (offered.empty() ? std::string("none") : JoinNames(offered))
            << ")\n";
        return kExitUsage;
    }
    if (request.TargetFamily() == Family::Basic && !IsBasicKind(board.ledKind)) {
        err << parsed.Prefix() << "GPU " << gpu << " answers first with another lighting controller (kind "
            << LedKindNumber(board.ledKind) << "), so its basic controller is not driven\n";
        return kExitHardware;
    }
    board.ledTarget = request.target->target;
    page.sliders = {request.colour.r, request.colour.g, request.colour.b};
    const int timer = static_cast<int>(request.periodS.value_or(3) - 3);
    page.timerIndex = {timer, timer, timer};
    if (request.TargetFamily() == Family::Basic) page.ledMode = request.mode->value;
    if (request.TargetFamily() == Family::Zone) page.gm1Mode = request.mode->value;
    if (request.TargetFamily() == Family::Effect) page.gm2Mode = request.mode->value;
    return kExitOk;
}

// Keeps an effect this program animates running: for --hold seconds (1 s for the still
// ones), else until Ctrl-C; the load colour is fed once a second.
void HoldEffect(GpuBoardTable& boards, int gpu, const LedRequest& request, LedEffectEngine& engine,
                const CliArgs& parsed, std::ostream& err) {
    std::optional<std::chrono::steady_clock::time_point> until;
    if (request.holdS || request.Still())
        until = std::chrono::steady_clock::now() + std::chrono::seconds(request.holdS.value_or(1));
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
        if (request.FollowsLoad()) FeedGpuLoad(boards, gpu, engine);
    }
}

// Sends the request to the chosen GPU alone, as the window's Apply sends its page; with
// several GPUs the window keeps the lighting in "Led.txt" in its settings folder for the LED
// service, and so does this tool. Returns the writes the controllers refused; why "Led.txt"
// was not saved goes to saveFailure.
LedWriteResult DriveLighting(CliSession& session, int gpu, const LedRequest& request, const LedPageState& page,
                             LedEffectEngine& engine, std::optional<std::string>& saveFailure) {
    GpuBoardTable& boards = session.Boards();
    engine.SetLedKind(gpu, page.boards[static_cast<size_t>(gpu)].ledKind);
    if (request.FollowsLoad()) FeedGpuLoad(boards, gpu, engine);
    AppState state;
    int gpuMode = 0;
    CaptureLedSettings(page, engine, state.ledSettings, gpuMode);
    LedApplyOptions options;
    options.applyButton = true;
    // Only the chosen GPU is driven; the other GPUs' records are not read.
    options.onlyGpu = gpu;
    options.saveLedSettings = [&] {
        state.gpuMode = static_cast<uint8_t>(gpuMode);
        std::string why;
        if (!session.SettingsFolderForSaving(why)) {
            saveFailure = why;
            return;
        }
        const std::filesystem::path file = *session.Settings().LedFile();
        if (std::error_code failed; SaveTuningSettings(boards, state, file, &failed) != 1)
            saveFailure = CannotBeWrittenText(file, failed);
    };
    return ApplyLedSettings(page, engine, state.ledSettings, options);
}

}  // namespace

int RunLedCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CliArgs parsed("led", args);
    if (!parsed.Parse({"--help"}, {"--gpu", "--target", "--mode", "--color", "--period", "--hold"}, err))
        return kExitUsage;
    if (parsed.Has("--help")) {
        out << kLedHelp;
        return kExitOk;
    }
    if (!parsed.Words().empty()) {
        err << parsed.Prefix() << "unknown argument \"" << parsed.Words().front() << "\"\n";
        return kExitUsage;
    }
    const std::optional<LedRequest> request = ParseLedRequest(parsed, err);
    if (!request) return kExitUsage;

    int exitCode = kExitOk;
    auto session = CliSession::Open(err, exitCode);
    if (!session) return exitCode;
    GpuBoardTable& boards = session->Boards();
    const auto gpu = session->SelectGpu(parsed, err);
    if (!gpu) return kExitUsage;

    LedPageState page;
    if (const int prepared = PreparePage(boards, *gpu, *request, parsed, page, err); prepared != kExitOk)
        return prepared;

    SteadyLedPacer pacer;
    LedEffectEngine engine(boards, pacer);
    std::optional<std::string> saveFailure;
    const LedWriteResult refused = DriveLighting(*session, *gpu, *request, page, engine, saveFailure);
    out << session->BackendLine() << "\n";
    // The lighting is shown all the same; the LED service would not know it.
    if (saveFailure) err << parsed.Prefix() << *saveFailure << "\n";
    const int shownStatus = saveFailure ? kExitUsage : kExitOk;

    const char* targetName = request->target->name;
    auto refuse = [&](const std::string& what) {
        engine.Shutdown();
        err << parsed.Prefix() << "GPU " << *gpu << ": the " << targetName << " controller " << what << "\n";
        return kExitHardware;
    };
    if (!refused.Clean())
        return refuse("refused " + std::to_string(refused.refused.size()) + " write(s): " + DescribeRefusedWrites(refused) +
                      "; it may not show " + request->mode->name);

    const bool animated = AnyEffectRunning(engine);
    if (animated) {
        CliInterrupt::Install();
        if (!WaitFirstFrame(engine, *gpu)) {
            engine.Shutdown();
            return shownStatus;
        }
        const LedFrameTally first = engine.FrameTally(*gpu);
        if (first.refused > 0) return refuse("refused the effect's first frame: " + DescribeRefusedWrites(first.firstRefused));
    }
    out << "GPU " << *gpu << ": " << targetName << " set to " << request->mode->name << "\n";
    if (animated) HoldEffect(boards, *gpu, *request, engine, parsed, err);
    engine.Shutdown();
    const LedFrameTally tally = engine.FrameTally(*gpu);
    if (tally.refused > 0)
        return refuse("refused " + std::to_string(tally.refused) + " of " + std::to_string(tally.frames) +
                      " frames of the effect (first: " + DescribeRefusedWrites(tally.firstRefused) + ")");
    return shownStatus;
}

}  // namespace pyx
