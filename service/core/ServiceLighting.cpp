#include "service/core/ServiceLighting.h"

#include <algorithm>
#include <chrono>
#include <system_error>
#include <thread>

#include "app/MonitorReadouts.h"
#include "app/TuningSettingsStore.h"
#include "led/LedApply.h"
#include "led/LedProbe.h"
#include "led/LightingReset.h"
#include "led/LedWriteResult.h"
#include "service/core/ServiceProtocol.h"

namespace pyx {

ServiceLighting::ServiceLighting(GpuBoardTable& boards, AppState& state, MachineSettings& settings)
    : boards_(boards), state_(state), settings_(settings) {}

LedEffectEngine& ServiceLighting::Engine() {
    if (!engine_) engine_ = std::make_unique<LedEffectEngine>(boards_, pacer_);
    return *engine_;
}

std::optional<std::string> ServiceLighting::FirstFrameRefusal(int gpu) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (engine_->FrameTally(gpu).frames == 0 && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const LedFrameTally first = engine_->FrameTally(gpu);
    if (first.refused == 0) return std::nullopt;
    return DescribeRefusedWrites(first.firstRefused);
}

nlohmann::json ServiceLighting::Order(const ServiceRequest& request, ConnectionId connection) {
    LedOrder::Refusal refusal;
    const std::optional<LedOrder> order =
        LedOrder::FromNames(request.ledTarget, request.ledMode,
                            request.ledColour ? std::optional<std::string_view>(*request.ledColour) : std::nullopt,
                            request.ledPeriodS, refusal);
    if (!order) return ServiceProtocol::Refusal(ServiceError::BadRequest, refusal.field + ": " + refusal.why);
    // Every GPU must show the order before any is lit.
    std::vector<int> gpus = {request.gpu.value_or(0)};
    if (request.allGpus) {
        gpus.clear();
        for (int g = 0; g < std::min<int>(boards_.gpuCount, kMaxGpus); ++g) gpus.push_back(g);
    }
    if (gpus.empty()) return ServiceProtocol::Refusal(ServiceError::OutOfRange, "this machine has no GPU");
    LedPageState page;
    for (const int gpu : gpus) {
        std::string why;
        if (const LedOrder::Fault fault = order->Prepare(boards_, gpu, page, why); fault != LedOrder::Fault::None)
            return ServiceProtocol::Refusal(
                fault == LedOrder::Fault::NoSuchController ? ServiceError::OutOfRange : ServiceError::Hardware, why);
    }
    LedEffectEngine& engine = Engine();
    // One load for the load colour: the first GPU's, as the window shows its selected GPU's.
    if (order->FollowsLoad())
        if (const auto load = ReadMonitors(boards_, gpus.front()).gpuLoad) engine.SetGpuLoad(*load);
    const std::string controller = std::string("the ") + order->TargetName() + " controller ";
    const LedWriteResult refused =
        LedOrder::Drive(engine, page, request.allGpus ? std::nullopt : std::optional<int>(gpus.front()), nullptr);
    if (!refused.Clean())
        return ServiceProtocol::Refusal(ServiceError::Hardware, controller + "refused " +
                                                                    std::to_string(refused.refused.size()) + " write(s): " +
                                                                    DescribeRefusedWrites(refused) + "; it may not show " +
                                                                    order->ModeName());
    const bool animated = LedOrder::AnyEffectRunning(engine);
    loadGpu_.reset();
    if (animated) {
        if (const auto why = FirstFrameRefusal(gpus.front()))
            return ServiceProtocol::Refusal(ServiceError::Hardware, "GPU " + std::to_string(gpus.front()) + ": " +
                                                                        controller + "refused the effect's first frame: " +
                                                                        *why);
        if (order->FollowsLoad()) loadGpu_ = gpus.front();
    }
    orderedBy_ = animated ? std::optional<ConnectionId>(connection) : std::nullopt;
    // Each GPU lit keeps its own, so that GPUs lit apart come back apart.
    for (const int gpu : gpus) {
        LedSettings mine = state_.gpuLedSettings[static_cast<size_t>(gpu)].value_or(state_.ledSettings);
        order->Keep(mine);
        state_.gpuLedSettings[static_cast<size_t>(gpu)] = mine;
        state_.ledTargets[static_cast<size_t>(gpu)] = order->Target();
    }
    order->Keep(state_.ledSettings);
    return Kept(ServiceProtocol::Answer(
        {{"gpus", gpus}, {"target", order->TargetName()}, {"mode", order->ModeName()}, {"animated", animated}}));
}

nlohmann::json ServiceLighting::Kept(nlohmann::json answer) {
    // What the cards show is kept for the next start; a service that keeps no settings says so
    // at its start, not at every order.
    if (std::string why; settings_.Kept() && !settings_.SaveLighting(why)) answer["notKept"] = why;
    return answer;
}

nlohmann::json ServiceLighting::Reset() {
    loadGpu_.reset();
    // Each GPU goes back where the window's start takes it, by its kind.
    state_.ledTargets = {};
    state_.gpuLedSettings = {};
    const LightingReset::Outcome outcome = LightingReset::AllGpus(Engine(), state_.ledSettings);
    nlohmann::json answer = Kept(ServiceProtocol::Answer({{"basic", outcome.basicGpu.has_value()}}));
    if (outcome.refusals.empty()) return answer;
    std::string refused;
    for (const char c : outcome.refusals) refused += c == '\n' ? std::string("; ") : std::string(1, c);
    refused.resize(refused.size() - 2);
    nlohmann::json refusal =
        ServiceProtocol::Refusal(ServiceError::Hardware, "the lighting's reset was refused: " + refused);
    if (answer.contains("notKept")) refusal["notKept"] = answer["notKept"];
    return refusal;
}

std::vector<std::string> ServiceLighting::PutBack(std::string_view occasion) {
    const std::string when(occasion);
    const std::optional<std::filesystem::path> file = settings_.LightingFile();
    std::error_code ec;
    if (!file || !std::filesystem::exists(*file, ec)) return {};
    if (!ReadLighting(*file, boards_, state_))
        return {"the lighting kept in " + file->string() + " cannot be read or names none of these GPUs; none was put back " +
                when};
    LedPageState page;
    std::vector<std::string> lines;
    std::string lit;
    // Each GPU lit, with what it keeps of its own and the order that gives.
    struct Lit {
        int gpu;
        LedSettings saved;
        LedOrder order;
    };
    std::vector<Lit> prepared;
    loadGpu_.reset();
    for (int gpu = 0; gpu < std::min<int>(boards_.gpuCount, kMaxGpus); ++gpu) {
        // Where the service lit the GPU, else where the window's start would.
        LedBoardState& board = page.boards[static_cast<size_t>(gpu)];
        ProbeLedBoard(boards_, gpu, board);
        const LedSettings saved = state_.gpuLedSettings[static_cast<size_t>(gpu)].value_or(state_.ledSettings);
        std::optional<LedTarget> target = state_.ledTargets[static_cast<size_t>(gpu)];
        if (!target) target = LedOrder::TargetOfKind(board.ledKind);
        const std::optional<LedOrder> order = target ? LedOrder::FromSaved(saved, *target) : std::nullopt;
        if (!order) {
            board = {};
            continue;
        }
        std::string why;
        if (order->PrepareProbed(gpu, page, why) != LedOrder::Fault::None) {
            // Left out of the drive: a GPU whose page names no target of its kind is not written.
            page.boards[static_cast<size_t>(gpu)] = {};
            lines.push_back(why + "; its lighting was not put back " + when);
            continue;
        }
        prepared.push_back({gpu, saved, *order});
        if (order->FollowsLoad() && !loadGpu_) loadGpu_ = gpu;
        lit += (lit.empty() ? "" : ", ") + ("GPU " + std::to_string(gpu)) + " " + order->TargetName() + " " +
               order->ModeName();
    }
    if (lit.empty()) return lines;
    // The page holds a GPU's saved colour and three timers, as the window's page does after its
    // start's load.
    const auto takeColour = [&page](const LedSettings& saved) {
        page.sliders = {saved.red, saved.green, saved.blue};
        for (size_t k = 0; k < 3; ++k) {
            const uint8_t timer = k == 0 ? saved.timer1 : k == 1 ? saved.timer2 : saved.timer3;
            page.timerIndex[k] = TimerPeriodMs(timer) ? timer : 0;
        }
    };
    LedEffectEngine& engine = Engine();
    if (loadGpu_)
        if (const auto load = ReadMonitors(boards_, *loadGpu_).gpuLoad) engine.SetGpuLoad(*load);
    // In step over the GPUs only where every one was lit alike: an effect kept in step drives
    // them all. GPUs lit apart each get their own page.
    bool alike = prepared.size() == static_cast<size_t>(std::min<int>(boards_.gpuCount, kMaxGpus));
    for (const Lit& l : prepared) alike = alike && l.saved == prepared.front().saved;
    LedWriteResult refused;
    if (alike) {
        takeColour(prepared.front().saved);
        refused = LedOrder::Drive(engine, page, std::nullopt, nullptr);
    } else {
        for (const Lit& l : prepared) {
            // The page's modes are the last prepared GPU's: this one's go back on first.
            std::string why;
            (void)l.order.PrepareProbed(l.gpu, page, why);
            takeColour(l.saved);
            refused.Append(LedOrder::Drive(engine, page, l.gpu, nullptr));
        }
    }
    orderedBy_.reset();
    if (refused.Clean())
        lines.push_back("the lighting was put back " + when + ": " + lit);
    else
        lines.push_back("the lighting put back " + when + " (" + lit + ") was refused " +
                        std::to_string(refused.refused.size()) + " write(s): " + DescribeRefusedWrites(refused));
    // Nobody asked for it now: an effect runs on only where the service keeps it running.
    if (!settings_.KeepsLighting() && Animating()) {
        Stop();
        lines.push_back("its effects were stopped: the lighting is not kept running without Pyxtune");
    }
    return lines;
}

void ServiceLighting::Tick() {
    if (loadGpu_ && engine_)
        if (const auto load = ReadMonitors(boards_, *loadGpu_).gpuLoad) engine_->SetGpuLoad(*load);
}

nlohmann::json ServiceLighting::KeepRunning(bool keep) {
    std::string why;
    const bool saved = settings_.SetKeepsLighting(keep, why);
    const bool stopped = !keep && !orderedBy_ && Animating();
    if (stopped) Stop();
    nlohmann::json answer = ServiceProtocol::Answer({{"keepLighting", keep}, {"stopped", stopped}, {"saved", saved}});
    if (!saved && settings_.Kept()) answer["saveError"] = why;
    return answer;
}

std::vector<std::string> ServiceLighting::ConnectionClosed(ConnectionId connection) {
    if (orderedBy_ != connection) return {};
    orderedBy_.reset();
    if (settings_.KeepsLighting() || !Animating()) return {};
    Stop();
    return {"the lighting's effects stopped: the client that ordered them went away, and the lighting is not kept "
            "running without Pyxtune"};
}

void ServiceLighting::Stop() {
    engine_->Shutdown();
    engine_.reset();
    loadGpu_.reset();
    orderedBy_.reset();
}

void ServiceLighting::End() {
    if (engine_) engine_->Shutdown();
}

}  // namespace pyx
