#include "led/LedOrder.h"

#include <algorithm>
#include <cstdlib>

#include "led/LedApply.h"
#include "led/LedProbe.h"

namespace pyx {

namespace {

struct TargetEntry {
    const char* name;
    LedTarget target;
    LedOrder::Family family;
};
constexpr TargetEntry kTargets[] = {{"basic", LedTarget::Basic, LedOrder::Family::Basic},
                                   {"zone-main", LedTarget::Zone58, LedOrder::Family::Zone},
                                   {"zone-1", LedTarget::Zone46, LedOrder::Family::Zone},
                                   {"zones-2-4", LedTarget::ZoneGroup, LedOrder::Family::Zone},
                                   {"effect-main", LedTarget::EffectAC, LedOrder::Family::Effect},
                                   {"effects-2-4", LedTarget::EffectGroup, LedOrder::Family::Effect}};

struct ModeEntry {
    const char* name;
    uint32_t value;
};
// The values the page's buttons store: LEDMODE, GM1MODE and GM2MODE.
const std::vector<ModeEntry> kBasicModes = {{"static", 0}, {"breathing", 1}, {"cycle-breathing", 2},
                                           {"flash", 3},  {"off", 4},       {"gpu-load", 6}};
const std::vector<ModeEntry> kZoneModes = {
    {"static", 1}, {"rainbow", 2}, {"cycle-breathing", 3}, {"breathing", 4}, {"off", 5}};
const std::vector<ModeEntry> kEffectModes = {{"static", 1},    {"rainbow", 2},     {"ripple", 3},
                                            {"marquee", 4},   {"color-cycle", 5}, {"cycle-breathing", 6},
                                            {"breathing", 7}, {"blink", 8},       {"aurora", 9},
                                            {"meteor", 10},   {"off", 11}};
constexpr uint32_t kGpuLoadMode = 6;

const std::vector<ModeEntry>& ModesOf(LedOrder::Family family) {
    return family == LedOrder::Family::Basic ? kBasicModes
           : family == LedOrder::Family::Zone ? kZoneModes
                                              : kEffectModes;
}

// A name as the user gave it, in quotes; "missing" for none.
std::string Quoted(std::string_view name) {
    if (name.empty()) return "missing";
    std::string quoted(1, '"');
    quoted += name;
    quoted += '"';
    return quoted;
}

std::string Join(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
    return text;
}

bool ParseColour(std::string_view text, LedColour& colour) {
    if (text.size() != 6 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string_view::npos) return false;
    const unsigned long value = std::strtoul(std::string(text).c_str(), nullptr, 16);
    colour = {static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
    return true;
}

}  // namespace

std::optional<LedOrder> LedOrder::FromNames(std::string_view target, std::string_view mode,
                                            std::optional<std::string_view> colour, std::optional<int64_t> periodS,
                                            Refusal& refusal) {
    LedOrder order;
    bool known = false;
    std::vector<std::string> names;
    for (size_t t = 0; t < std::size(kTargets); ++t) {
        names.push_back(kTargets[t].name);
        if (target == kTargets[t].name) {
            order.target_ = t;
            known = true;
        }
    }
    if (!known) {
        refusal = {"target", Quoted(target) + " (accepted: " + Join(names) + ")"};
        return std::nullopt;
    }
    const std::vector<ModeEntry>& modes = ModesOf(order.TargetFamily());
    known = false;
    names.clear();
    for (size_t m = 0; m < modes.size(); ++m) {
        names.push_back(modes[m].name);
        if (mode == modes[m].name) {
            order.mode_ = m;
            known = true;
        }
    }
    if (!known) {
        refusal = {"mode", Quoted(mode) + " is not offered by the " + order.TargetName() + " controller (accepted: " +
                               Join(names) + ")"};
        return std::nullopt;
    }
    if (colour && !ParseColour(*colour, order.colour_)) {
        refusal = {"color", Quoted(*colour) + " (accepted: six hex digits RRGGBB, e.g. ff8000)"};
        return std::nullopt;
    }
    if (periodS) {
        const uint32_t value = modes[order.mode_].value;
        const bool timed = order.TargetFamily() == Family::Basic && value >= 1 && value <= 3;
        if (!timed) {
            refusal = {"period", "applies only to the basic target's breathing, cycle-breathing and flash"};
            return std::nullopt;
        }
        if (*periodS < 3 || *periodS > 10) {
            refusal = {"period", std::to_string(*periodS) + " is outside 3..10 seconds"};
            return std::nullopt;
        }
        order.periodS_ = periodS;
    }
    return order;
}

std::optional<LedTarget> LedOrder::TargetOfKind(LedKind kind) {
    switch (kind) {
        case LedKind::BasicClass1:
        case LedKind::BasicClass2: return LedTarget::Basic;
        case LedKind::Zone58: return LedTarget::Zone58;
        case LedKind::Zone46: return LedTarget::Zone46;
        case LedKind::EffectAC: return LedTarget::EffectAC;
        case LedKind::None: break;
    }
    return std::nullopt;
}

std::optional<LedOrder> LedOrder::FromSaved(const LedSettings& saved, LedTarget target) {
    LedOrder order;
    order.target_ = static_cast<size_t>(
        std::find_if(std::begin(kTargets), std::end(kTargets), [&](const TargetEntry& t) { return t.target == target; }) -
        std::begin(kTargets));
    const std::vector<ModeEntry>& modes = ModesOf(order.TargetFamily());
    const uint32_t value = order.TargetFamily() == Family::Basic  ? saved.ledMode
                           : order.TargetFamily() == Family::Zone ? saved.gm1Mode
                                                                  : saved.gm2Mode;
    const auto mode = std::find_if(modes.begin(), modes.end(), [&](const ModeEntry& m) { return m.value == value; });
    // LEDMODE 9 and a zero GM1MODE or GM2MODE are "nothing chosen yet"; other values are unknown.
    if (mode == modes.end()) return std::nullopt;
    order.mode_ = static_cast<size_t>(mode - modes.begin());
    order.colour_ = {saved.red, saved.green, saved.blue};
    // The basic controller's timed modes each keep their own timer: breathing the first,
    // cycle-breathing the second, flash the third.
    if (order.TargetFamily() == Family::Basic && value >= 1 && value <= 3) {
        const uint8_t timer = value == 1 ? saved.timer1 : value == 2 ? saved.timer2 : saved.timer3;
        if (TimerPeriodMs(timer)) order.periodS_ = timer + 3;
    }
    return order;
}

void LedOrder::Keep(LedSettings& saved) const {
    saved.red = colour_.r;
    saved.green = colour_.g;
    saved.blue = colour_.b;
    if (periodS_) {
        const auto timer = static_cast<uint8_t>(*periodS_ - 3);
        saved.timer1 = saved.timer2 = saved.timer3 = timer;
    }
    const auto value = static_cast<uint8_t>(ModesOf(TargetFamily())[mode_].value);
    switch (TargetFamily()) {
        case Family::Basic: saved.ledMode = value; break;
        case Family::Zone: saved.gm1Mode = value; break;
        case Family::Effect: saved.gm2Mode = value; break;
    }
}

const char* LedOrder::TargetName() const { return kTargets[target_].name; }
LedTarget LedOrder::Target() const { return kTargets[target_].target; }
const char* LedOrder::ModeName() const { return ModesOf(TargetFamily())[mode_].name; }
LedOrder::Family LedOrder::TargetFamily() const { return kTargets[target_].family; }

bool LedOrder::FollowsLoad() const {
    return TargetFamily() == Family::Basic && ModesOf(Family::Basic)[mode_].value == kGpuLoadMode;
}

bool LedOrder::Still() const {
    const uint32_t value = ModesOf(TargetFamily())[mode_].value;
    return TargetFamily() == Family::Basic && (value == 0 || value == 4);
}

LedOrder::Fault LedOrder::Prepare(GpuBoardTable& boards, int gpu, LedPageState& page, std::string& why) const {
    ProbeLedBoard(boards, gpu, page.boards[static_cast<size_t>(gpu)]);
    return PrepareProbed(gpu, page, why);
}

LedOrder::Fault LedOrder::PrepareProbed(int gpu, LedPageState& page, std::string& why) const {
    LedBoardState& board = page.boards[static_cast<size_t>(gpu)];
    if (!board.TargetAvailable(kTargets[target_].target)) {
        std::vector<std::string> offered;
        for (const TargetEntry& t : kTargets)
            if (board.TargetAvailable(t.target)) offered.push_back(t.name);
        why = "GPU " + std::to_string(gpu) + " has no " + TargetName() + " controller (accepted here: " +
              (offered.empty() ? std::string("none") : Join(offered)) + ")";
        return Fault::NoSuchController;
    }
    if (TargetFamily() == Family::Basic && !IsBasicKind(board.ledKind)) {
        why = "GPU " + std::to_string(gpu) + " answers first with another lighting controller (kind " +
              std::to_string(LedKindNumber(board.ledKind)) + "), so its basic controller is not driven";
        return Fault::OtherControllerFirst;
    }
    board.ledTarget = kTargets[target_].target;
    page.sliders = {colour_.r, colour_.g, colour_.b};
    const int timer = static_cast<int>(periodS_.value_or(3) - 3);
    page.timerIndex = {timer, timer, timer};
    const uint32_t value = ModesOf(TargetFamily())[mode_].value;
    if (TargetFamily() == Family::Basic) page.ledMode = value;
    if (TargetFamily() == Family::Zone) page.gm1Mode = value;
    if (TargetFamily() == Family::Effect) page.gm2Mode = value;
    return Fault::None;
}

LedWriteResult LedOrder::Drive(LedEffectEngine& engine, const LedPageState& page, std::optional<int> onlyGpu,
                               const SaveLighting& save) {
    for (int gpu = 0; gpu < std::min<int>(engine.Table().gpuCount, kMaxGpus); ++gpu)
        if (!onlyGpu || gpu == *onlyGpu) engine.SetLedKind(gpu, page.boards[static_cast<size_t>(gpu)].ledKind);
    LedSettings settings;
    int gpuMode = 0;
    CaptureLedSettings(page, engine, settings, gpuMode);
    LedApplyOptions options;
    options.applyButton = true;
    // With onlyGpu, the other GPUs' records are not read.
    options.onlyGpu = onlyGpu;
    if (save) options.saveLedSettings = [&] { save(settings, gpuMode); };
    return ApplyLedSettings(page, engine, settings, options);
}

bool LedOrder::AnyEffectRunning(const LedEffectEngine& engine) {
    return engine.Running(LedEffectFamily::Basic) || engine.Running(LedEffectFamily::ZoneSync) ||
           engine.Running(LedEffectFamily::EffectSync);
}

}  // namespace pyx
