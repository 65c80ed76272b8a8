#include "cli/LedCommand.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>

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
    "  Exit status 1 when a controller refused a write (each refused write is named).\n";

enum class Family { Basic, Zone, Effect };

struct TargetName {
    const char* name;
    uint32_t target;
    Family family;
};
const TargetName kTargets[] = {{"basic", kLedTargetBasic, Family::Basic},
                               {"zone-main", kLedTargetZone58, Family::Zone},
                               {"zone-1", kLedTargetZone46, Family::Zone},
                               {"zones-2-4", kLedTargetZoneGroup, Family::Zone},
                               {"effect-main", kLedTargetEffectAC, Family::Effect},
                               {"effects-2-4", kLedTargetEffectGroup, Family::Effect}};

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

std::string Hex2(unsigned value) {
    static const char* digits = "0123456789ABCDEF";
    return {'0', 'x', digits[(value >> 4) & 0xF], digits[value & 0xF]};
}

// "0x58 register 0x05 (status -1), ..."
std::string RefusedWrites(const LedWriteResult& result) {
    std::string text;
    for (const LedRefusedWrite& write : result.refused) {
        if (!text.empty()) text += ", ";
        text += Hex2(write.address) + " register " + Hex2(write.reg) + " (status " + std::to_string(write.status) + ")";
    }
    return text;
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
    const TargetName* target = nullptr;
    const auto targetText = parsed.Value("--target");
    for (const auto& t : kTargets)
        if (targetText && *targetText == t.name) target = &t;
    if (target == nullptr) {
        err << parsed.Prefix() << "--target: " << (targetText ? "\"" + *targetText + "\"" : std::string("missing"))
            << " (accepted: basic, zone-main, zone-1, zones-2-4, effect-main, effects-2-4)\n";
        return kExitUsage;
    }
    const auto& modes = ModesOf(target->family);
    const ModeName* mode = nullptr;
    const auto modeText = parsed.Value("--mode");
    for (const auto& m : modes)
        if (modeText && *modeText == m.name) mode = &m;
    if (mode == nullptr) {
        err << parsed.Prefix() << "--mode: " << (modeText ? "\"" + *modeText + "\"" : std::string("missing"))
            << " is not offered by the " << target->name << " controller (accepted: " << JoinNames(Names(modes))
            << ")\n";
        return kExitUsage;
    }
    LedColour colour{255, 0, 0};
    if (const auto text = parsed.Value("--color"); text && !ParseColour(*text, colour)) {
        err << parsed.Prefix() << "--color: \"" << *text << "\" (accepted: six hex digits RRGGBB, e.g. ff8000)\n";
        return kExitUsage;
    }
    std::optional<int64_t> periodS, holdS;
    if (!parsed.Int("--period", 3, 10, periodS, err) || !parsed.Int("--hold", 0, 86400, holdS, err)) return kExitUsage;
    const bool timed = target->family == Family::Basic && mode->value >= 1 && mode->value <= 3;
    if (periodS && !timed) {
        err << parsed.Prefix() << "--period applies only to the basic target's breathing, cycle-breathing and flash\n";
        return kExitUsage;
    }

    int exitCode = kExitOk;
    auto session = CliSession::Open(err, exitCode);
    if (!session) return exitCode;
    GpuBoardTable& boards = session->Boards();
    const auto gpu = session->SelectGpu(parsed, err);
    if (!gpu) return kExitUsage;

    LedPageState page;
    for (auto& board : page.boards) board.ledTarget = 1;  // drives nothing: only the chosen GPU is lit
    LedBoardState& board = page.boards[static_cast<size_t>(*gpu)];
    ProbeLedControllers(boards, *gpu, board);
    board.ledKind = ProbeLedKind(boards, *gpu);  // as selecting the GPU in the window does
    if (!board.TargetAvailable(target->target)) {
        std::vector<std::string> offered;
        for (const auto& t : kTargets)
            if (board.TargetAvailable(t.target)) offered.push_back(t.name);
        err << parsed.Prefix() << "--target: GPU " << *gpu << " has no " << target->name << " controller (accepted here: "
            << (offered.empty() ? std::string("none") : JoinNames(offered)) << ")\n";
        return kExitUsage;
    }
    if (target->family == Family::Basic && board.ledKind != kLedKindBasicClass1 && board.ledKind != kLedKindBasicClass2) {
        err << parsed.Prefix() << "GPU " << *gpu << " answers first with another lighting controller (kind "
            << board.ledKind << "), so its basic controller is not driven\n";
        return kExitHardware;
    }
    board.ledTarget = target->target;
    page.sliders = {colour.r, colour.g, colour.b};
    const int timer = static_cast<int>(periodS.value_or(3) - 3);
    page.timerIndex = {timer, timer, timer};
    if (target->family == Family::Basic) page.ledMode = mode->value;
    if (target->family == Family::Zone) page.gm1Mode = mode->value;
    if (target->family == Family::Effect) page.gm2Mode = mode->value;

    SteadyLedPacer pacer;
    LedEffectEngine engine(boards, pacer);
    engine.SetLedKind(*gpu, board.ledKind);
    const bool followsLoad = target->family == Family::Basic && mode->value == 6;
    if (followsLoad) FeedGpuLoad(boards, *gpu, engine);
    AppState state;
    int gpuMode = 0;
    CaptureLedSettings(page, engine, state.ledSettings, gpuMode);
    LedApplyOptions options;
    options.applyButton = true;
    options.onlyGpu = *gpu;
    // With several GPUs the window keeps the lighting in "Led.txt" in its settings folder for
    // the LED service; so does this tool.
    options.saveLedSettings = [&] {
        state.gpuMode = static_cast<uint8_t>(gpuMode);
        std::string ignored;
        MakeSettingsFolder(session->Settings().folder, ignored);
        SaveTuningSettings(boards, state, session->Settings().LedFile());
    };
    const LedWriteResult refused = ApplyLedSettings(page, engine, state.ledSettings, options);
    out << session->BackendLine() << "\n";

    auto refuse = [&](const std::string& what) {
        engine.Shutdown();
        err << parsed.Prefix() << "GPU " << *gpu << ": the " << target->name << " controller " << what << "\n";
        return kExitHardware;
    };
    if (!refused.Clean())
        return refuse("refused " + std::to_string(refused.refused.size()) + " write(s): " + RefusedWrites(refused) +
                      "; it may not show " + mode->name);

    const bool animated = AnyEffectRunning(engine);
    if (animated) {
        CliInterrupt::Install();
        if (!WaitFirstFrame(engine, *gpu)) {
            engine.Shutdown();
            return kExitOk;
        }
        const LedFrameTally first = engine.FrameTally(*gpu);
        if (first.refused > 0) return refuse("refused the effect's first frame: " + RefusedWrites(first.firstRefused));
    }
    out << "GPU " << *gpu << ": " << target->name << " set to " << mode->name << "\n";
    if (animated) {
        const bool still = target->family == Family::Basic && (mode->value == 0 || mode->value == 4);
        std::optional<std::chrono::steady_clock::time_point> until;
        if (holdS || still) {
            until = std::chrono::steady_clock::now() + std::chrono::seconds(holdS.value_or(1));
        } else {
            err << parsed.Prefix() << "the effect is driven by this program; Ctrl-C ends it\n";
        }
        for (;;) {
            auto step = std::chrono::milliseconds(1000);
            if (until) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    *until - std::chrono::steady_clock::now());
                if (left.count() <= 0) break;
                step = std::min(step, left);
            }
            if (!CliInterrupt::Wait(step)) break;
            if (followsLoad) FeedGpuLoad(boards, *gpu, engine);
        }
    }
    engine.Shutdown();
    const LedFrameTally tally = engine.FrameTally(*gpu);
    if (tally.refused > 0)
        return refuse("refused " + std::to_string(tally.refused) + " of " + std::to_string(tally.frames) +
                      " frames of the effect (first: " + RefusedWrites(tally.firstRefused) + ")");
    return kExitOk;
}

}  // namespace pyx
