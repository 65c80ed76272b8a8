#include "service/core/ServiceCore.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "app/CIni.h"
#include "app/CIniText.h"
#include "app/CardListing.h"
#include "app/ProfileLoadCheck.h"
#include "app/TuningSettingsStore.h"
#include "app/FanReport.h"
#include "app/MonitorReadouts.h"
#include "app/VfCurveJson.h"
#include "app/TuningApply.h"
#include "app/TuningReportJson.h"
#include "gpu/CardTuning.h"

namespace pyx {

namespace {

int64_t EpochMs(std::chrono::system_clock::time_point time) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count();
}

int ModeNumber(ApplyModeName mode) {
    switch (mode) {
        case ApplyModeName::Extreme: return kTuningModeExtreme;
        case ApplyModeName::Performance: return kTuningModePerformance;
        case ApplyModeName::Common: return kTuningModeCommon;
        case ApplyModeName::Custom: return kTuningModeCustom;
    }
    return kTuningModeNone;
}

}  // namespace

ServiceCore::ServiceCore(NvApiLibrary& library, GpuBoardTable& boards, const AccessPolicy& policy, Identity identity,
                         std::optional<std::filesystem::path> settingsFolder)
    : library_(library),
      boards_(boards),
      policy_(policy),
      identity_(std::move(identity)),
      fans_(boards),
      curves_(boards, state_),
      settings_(boards, state_, std::move(settingsFolder)),
      lighting_(boards, state_, settings_) {
    // A fan left fixed by an owner that ended without handing it back (a crash, a kill) is
    // this owner's to watch from its first second.
    fans_.WatchManualFans();
}

std::string ServiceCore::HandleLine(std::string_view line, const PeerCredentials& peer, ConnectionId connection) {
    auto parsed = ServiceProtocol::Parse(line);
    if (const auto* refusal = std::get_if<ProtocolRefusal>(&parsed))
        return ServiceProtocol::Refusal(refusal->error, refusal->message).dump();
    return Handle(std::get<ServiceRequest>(parsed), peer, connection).dump();
}

AccessDecision ServiceCore::Authorize(const ServiceRequest& request, const PeerCredentials& peer) const {
    return policy_.Decide(peer, AccessOf(request.kind));
}

nlohmann::json ServiceCore::Handle(const ServiceRequest& request, const PeerCredentials& peer, ConnectionId connection,
                                   bool grantedElsewhere) {
    if (!grantedElsewhere)
        if (const AccessDecision access = Authorize(request, peer); !access.allowed)
            return ServiceProtocol::Refusal(ServiceError::Denied, access.message);
    switch (request.kind) {
        case RequestKind::Hello:
            return Hello(request);
        case RequestKind::List:
            return ServiceProtocol::Answer({{"backend", library_.BackendName()},
                                            {"simulated", library_.IsSimulated()},
                                            {"description", library_.BackendDescription()},
                                            {"gpus", CardListing::ReadGpus(boards_, library_.BackendName())}});
        case RequestKind::Monitor:
            if (auto refusal = CheckGpu(request.gpu, true)) return *refusal;
            // The sample beside the reading carries the limits in force, for monitor's CSV.
            return ServiceProtocol::Answer(
                {{"reading", ReadingsJson(*request.gpu, ReadMonitors(boards_, *request.gpu), library_.BackendName())},
                 {"sample", SampleJson(ReadSample(boards_, *request.gpu, EpochMs(std::chrono::system_clock::now())))}});
        case RequestKind::FanShow:
        case RequestKind::FanAuto:
            if (auto refusal = CheckGpu(request.gpu, false)) return *refusal;
            return Fans(request);
        case RequestKind::Apply:
            return Apply(request, connection);
        case RequestKind::Keep:
        case RequestKind::Revert:
            return KeepOrRevert(request, connection);
        case RequestKind::FanCurveSet:
            if (auto refusal = CheckGpu(request.gpu, false)) return *refusal;
            return SetCurve(request);
        case RequestKind::FanCurveShow:
            if (auto refusal = CheckGpu(request.gpu, false)) return *refusal;
            return ShowCurves(request);
        case RequestKind::History:
            if (auto refusal = CheckGpu(request.gpu, false)) return *refusal;
            return Samples(request);
        case RequestKind::ApplyProfile:
            return ApplyProfile(request, connection);
        case RequestKind::Lighting:
            if (auto refusal = CheckGpu(request.gpu, false)) return *refusal;
            return lighting_.Order(request, connection);
        case RequestKind::ServiceSettingsShow:
            return ServiceProtocol::Answer({{"keepLighting", settings_.KeepsLighting()}});
        case RequestKind::ServiceSettingsSet:
            return lighting_.KeepRunning(request.keepLighting.value_or(true));
        case RequestKind::LightingReset:
            return lighting_.Reset();
        case RequestKind::ProfileRead: {
            // The machine's own view, its curves and lighting included; a save learns the VF
            // offsets on the way, which the machine's state need not keep.
            AppState draft = state_;
            const std::u16string text = ComposeTuningSettings(boards_, draft).Text();
            return ServiceProtocol::Answer(
                {{"gpus", boards_.gpuCount}, {"text", CIniText::ToUtf8(std::u16string_view(text).substr(1))}});
        }
        case RequestKind::VfList: {
            if (auto refusal = CheckGpu(request.gpu, true)) return *refusal;
            VfCurve curve;
            if (const NvStatus status = ReadVfCurve(boards_, *request.gpu, curve); status != kNvOk)
                return ServiceProtocol::Refusal(ServiceError::Hardware,
                                                "GPU " + std::to_string(*request.gpu) +
                                                    " did not give its clock-client records (status " +
                                                    std::to_string(status) + ")");
            nlohmann::json answer = VfCurveJson(curve);
            answer["backend"] = library_.BackendName();
            answer["gpu"] = *request.gpu;
            return ServiceProtocol::Answer(answer);
        }
    }
    return ServiceProtocol::Refusal(ServiceError::UnknownOperation, "unknown operation");
}

std::optional<nlohmann::json> ServiceCore::CheckGpu(const std::optional<int>& gpu, bool required) const {
    if (!gpu) {
        if (!required) return std::nullopt;
        return ServiceProtocol::Refusal(ServiceError::BadRequest, "the request names no GPU (\"gpu\")");
    }
    if (boards_.IsValidGpu(*gpu)) return std::nullopt;
    std::string present;
    for (int g = 0; g < boards_.gpuCount; ++g) present += (g == 0 ? "" : ", ") + std::to_string(g);
    return ServiceProtocol::Refusal(ServiceError::OutOfRange, "this machine has no GPU " + std::to_string(*gpu) +
                                                                  " (accepted: " + present + ")");
}

nlohmann::json ServiceCore::Hello(const ServiceRequest& request) const {
    if (request.clientVersion != kServiceProtocolVersion) {
        nlohmann::json refusal =
            ServiceProtocol::Refusal(ServiceError::VersionMismatch, "the service speaks protocol version " +
                                                                        std::to_string(kServiceProtocolVersion));
        refusal["version"] = kServiceProtocolVersion;
        refusal["serviceVersion"] = identity_.version;
        return refusal;
    }
    nlohmann::json gpus = nlohmann::json::array();
    for (int gpu = 0; gpu < boards_.gpuCount; ++gpu) {
        const CardTuning card(boards_, gpu);
        gpus.push_back({{"index", gpu}, {"tuning", card.Valid()}, {"fans", card.ReadFans().size()}});
    }
    return ServiceProtocol::Answer({{"version", kServiceProtocolVersion},
                                    {"serviceVersion", identity_.version},
                                    {"backend", library_.BackendName()},
                                    {"simulated", library_.IsSimulated()},
                                    {"backendLine", identity_.backendLine},
                                    {"keepsSettings", settings_.Kept()},
                                    {"gpus", gpus}});
}

std::vector<int> ServiceCore::TargetGpus(const std::optional<int>& gpu) const {
    std::vector<int> gpus;
    for (int g = 0; g < std::min<int>(boards_.gpuCount, kMaxGpus); ++g)
        if (!gpu || *gpu == g) gpus.push_back(g);
    return gpus;
}

nlohmann::json ServiceCore::Fans(const ServiceRequest& request) {
    const std::vector<int> gpus = TargetGpus(request.gpu);
    if (request.kind == RequestKind::FanShow) return ServiceProtocol::Answer(FanReport::Read(boards_, gpus));
    // Handed back, a fan follows no curve any more, now or at the next start.
    bool curveEnded = false;
    for (const int gpu : gpus) curveEnded = std::exchange(state_.fanCurves[static_cast<size_t>(gpu)], std::nullopt) || curveEnded;
    nlohmann::json answer = FanReport::HandBack(boards_, gpus);
    if (curveEnded) {
        std::string why;
        answer["saved"] = settings_.Save(why);
        if (settings_.Kept() && !why.empty()) answer["saveError"] = why;
    }
    return ServiceProtocol::Answer(answer);
}

nlohmann::json ServiceCore::SetCurve(const ServiceRequest& request) {
    // A change waiting for its answer would put the old fan back when it is taken back.
    if (pending_.Active())
        return ServiceProtocol::Refusal(ServiceError::Busy, pending_.Mode() + " waits for its keep answer (" +
                                                                std::to_string(pending_.SecondsLeft(PendingChange::Clock::now())) +
                                                                " s left)");
    std::string why;
    std::optional<FanCurve> curve = ParseFanCurvePoints(request.curvePoints, &why);
    if (!curve) return ServiceProtocol::Refusal(ServiceError::BadRequest, why);
    curve->autoBelow = request.autoBelow;
    const std::vector<int> gpus = TargetGpus(request.gpu);
    // Every GPU must take it before any follows it.
    for (const int gpu : gpus) {
        const CardTuning card(boards_, gpu);
        const FanUnit unit = card.FixedFanUnit();
        if (std::optional<std::string> fault = FanCurveFault(*curve, card.FixedFanLevels(), unit))
            return ServiceProtocol::Refusal(ServiceError::OutOfRange, "GPU " + std::to_string(gpu) + ": " + *fault);
    }
    for (const int gpu : gpus) state_.fanCurves[static_cast<size_t>(gpu)] = curve;
    // The first levels go out now rather than at the next tick, so that the answer tells them.
    nlohmann::json stops = nlohmann::json::array();
    for (const FanCurveStop& stop : curves_.Tick()) stops.push_back({{"gpu", stop.gpu}, {"message", DescribeCurveStop(stop)}});
    nlohmann::json answer = ShowCurves(request);
    answer["stopped"] = stops;
    answer["saved"] = settings_.Save(why);
    if (settings_.Kept() && !why.empty()) answer["saveError"] = why;
    return answer;
}

nlohmann::json ServiceCore::ShowCurves(const ServiceRequest& request) const {
    nlohmann::json gpus = nlohmann::json::array();
    for (const int gpu : TargetGpus(request.gpu)) gpus.push_back(curves_.ShowJson(gpu));
    return ServiceProtocol::Answer({{"gpus", gpus}});
}

void ServiceCore::KeepHistory() {
    if (!history_) history_.emplace(boards_.gpuCount);
}

std::vector<HistorySample> ServiceCore::LatestSamples() const {
    std::vector<HistorySample> latest;
    if (history_)
        for (int gpu = 0; gpu < history_->GpuCount(); ++gpu)
            if (auto sample = history_->Latest(gpu)) latest.push_back(*sample);
    return latest;
}

nlohmann::json ServiceCore::Samples(const ServiceRequest& request) const {
    nlohmann::json samples = nlohmann::json::array();
    if (history_)
        for (const HistorySample& sample : history_->Since(request.sinceMs.value_or(0), request.gpu))
            samples.push_back(SampleJson(sample));
    return ServiceProtocol::Answer(
        {{"kept", history_.has_value()}, {"keptS", SampleHistory::kKeptMs / 1000}, {"samples", std::move(samples)}});
}

std::optional<nlohmann::json> ServiceCore::Busy(ConnectionId connection, PendingChange::Clock::time_point now) const {
    if (!pending_.Active()) return std::nullopt;
    return ServiceProtocol::Refusal(
        ServiceError::Busy, (pending_.Owner() == connection ? std::string("your ") : std::string("another client's ")) +
                                pending_.Mode() + " waits for its keep answer (" +
                                std::to_string(pending_.SecondsLeft(now)) + " s left)");
}

nlohmann::json ServiceCore::ApplyProfile(const ServiceRequest& request, ConnectionId connection) {
    const auto now = PendingChange::Clock::now();
    if (auto busy = Busy(connection, now)) return *busy;
    // The client's values read as the owner reads its own settings file: the same matching of
    // sections to GPUs, the same ranges, the same writes. The protocol let no value through
    // that could start a line or a section of its own.
    std::string text = "\xEF\xBB\xBF";
    for (const ProfileSection& section : request.profile) {
        text += "[" + section.name + "]\r\n";
        for (const auto& [key, value] : section.keys) text += key + "=" + value + "\r\n";
    }
    CIni ini;
    if (!ini.LoadBytes(std::as_bytes(std::span(text.data(), text.size()))))
        return ServiceProtocol::Refusal(ServiceError::BadRequest, "the profile cannot be read: " + ini.FailureText());
    const ProfileLoadCheck check(ini, boards_);
    if (check.Gpus().empty())
        return ServiceProtocol::Refusal(ServiceError::OutOfRange, ProfileLoadCheck::NoGpuMatchesText(boards_));
    if (!check.OutOfRange().empty()) {
        std::string values;
        for (const std::string& value : check.OutOfRange()) values += (values.empty() ? "" : "; ") + value;
        return ServiceProtocol::Refusal(ServiceError::OutOfRange, values);
    }
    TuningRevert before = TuningRevert::Capture(boards_, check.Gpus(), &state_);
    TuningReport report;
    ApplyTuningSettings(ini, boards_, state_, &report);
    pending_.Begin(connection, std::move(before), now + std::chrono::seconds(request.revertAfterS), "the profile");
    return ServiceProtocol::Answer({{"refusals", RefusalsWithWords(report)},
                                    {"gpus", TuningApply::HoldingsJson(boards_, check.Gpus())},
                                    {"keepWithinS", request.revertAfterS}});
}

nlohmann::json ServiceCore::Apply(const ServiceRequest& request, ConnectionId connection) {
    const auto now = PendingChange::Clock::now();
    if (auto busy = Busy(connection, now)) return *busy;
    if (auto refusal = CheckGpu(request.gpu, false)) return *refusal;
    TuningApply::Order order;
    order.mode = ModeNumber(request.mode);
    order.selectedGpu = request.gpu.value_or(0);
    order.allGpus = request.allGpus;
    if (const auto& c = request.custom)
        order.custom = {c->coreMHz, c->memMHz, c->powerPercent, c->fan, c->gpuVfMHz.value_or(c->coreMHz),
                        c->memVfMHz.value_or(c->memMHz)};
    const std::vector<int> gpus = TuningApply::Gpus(boards_, order);
    std::vector<int> powerless;
    if (request.custom)
        if (const auto out = TuningApply::CheckCustom(boards_, gpus, order.custom, &powerless))
            return ServiceProtocol::Refusal(ServiceError::OutOfRange,
                                            std::string(CustomFieldName(out->field)) + ": " + std::to_string(out->value) +
                                                " " + out->unit + " is outside GPU " + std::to_string(out->gpu) +
                                                "'s range " + std::to_string(out->min) + ".." +
                                                std::to_string(out->max) + " " + out->unit);

    TuningRevert before = TuningRevert::Capture(boards_, gpus, &state_);
    // The client asked the user the warning's question before it sent the request.
    const TuningApply::Run run = TuningApply::Apply(boards_, state_, order, [](const std::string&) { return true; });
    // One read of the cards gives both what they hold and which did not take custom's values.
    nlohmann::json notHeld = nlohmann::json::array();
    nlohmann::json holdings = nlohmann::json::array();
    for (const TuningApply::Holding& h : TuningApply::Holdings(boards_, gpus)) {
        holdings.push_back(TuningApply::HoldingJson(h));
        if (request.custom && !TuningApply::Holds(h, order.custom)) notHeld.push_back(h.gpu);
    }
    const nlohmann::json refusals = RefusalsWithWords(run.report);
    nlohmann::json answer = {{"mode", ApplyModeText(request.mode)}, {"result", run.result}, {"refusals", refusals},
                             {"notHeld", notHeld},  {"powerless", powerless},  {"gpus", holdings},
                             {"applied", refusals.empty() && notHeld.empty()}};
    if (request.mode == ApplyModeName::Common) {
        // The card's defaults are a safe place to be: kept at once, as everywhere else.
        std::string why;
        answer["kept"] = true;
        answer["saved"] = settings_.Save(why);
        if (!why.empty() && settings_.Kept()) answer["saveError"] = why;
        return ServiceProtocol::Answer(answer);
    }
    pending_.Begin(connection, std::move(before), now + std::chrono::seconds(request.revertAfterS),
                   std::string(ApplyModeText(request.mode)));
    answer["keepWithinS"] = request.revertAfterS;
    return ServiceProtocol::Answer(answer);
}

nlohmann::json ServiceCore::KeepOrRevert(const ServiceRequest& request, ConnectionId connection) {
    if (!pending_.Active() || pending_.Owner() != connection)
        return ServiceProtocol::Refusal(ServiceError::BadRequest,
                                        "no change of this connection waits for its keep answer (it was taken back "
                                        "when its time ran out, or none was applied)");
    if (request.kind == RequestKind::Revert) {
        const std::vector<int> gpus = pending_.Gpus();
        const TuningReport revert = pending_.TakeBack();
        return ServiceProtocol::Answer(
            {{"kept", false}, {"revertRefusals", RefusalsWithWords(revert)}, {"gpus", TuningApply::HoldingsJson(boards_, gpus)}});
    }
    pending_.Keep();
    std::string why;
    nlohmann::json answer = {{"kept", true}, {"saved", settings_.Save(why)}};
    if (settings_.Kept() && !why.empty()) answer["saveError"] = why;
    return ServiceProtocol::Answer(answer);
}

std::vector<std::string> ServiceCore::TakeBack(const char* why) {
    const std::string mode = pending_.Mode();
    const TuningReport revert = pending_.TakeBack();
    std::vector<std::string> lines = {mode + " was taken back: " + why};
    for (const TuningWriteResult& r : revert.Refusals())
        lines.push_back("GPU " + std::to_string(r.gpu) + " did not take back its " + DescribeWrite(r) + ": " +
                        StatusInWords(r.status));
    return lines;
}

std::vector<std::string> ServiceCore::ConnectionClosed(ConnectionId connection) {
    std::vector<std::string> lines = lighting_.ConnectionClosed(connection);
    if (!pending_.Active() || pending_.Owner() != connection) return lines;
    for (std::string& line : TakeBack("its client went away before keeping it")) lines.push_back(std::move(line));
    return lines;
}

std::vector<std::string> ServiceCore::Reapply(std::string_view occasion) {
    // A change waiting for its answer is not the machine's settings: it goes first.
    std::vector<std::string> lines;
    if (pending_.Active()) lines = TakeBack("the stored settings are being put back");
    for (std::string& line : settings_.Reapply(occasion)) lines.push_back(std::move(line));
    // The cards forgot their fans with the rest: each curve sends its level anew.
    curves_.Restart();
    for (const FanCurveStop& stop : curves_.Tick()) lines.push_back(DescribeCurveStop(stop));
    // Lights forget with the rest where their power went (a resume, a driver reload).
    for (std::string& line : lighting_.PutBack(occasion)) lines.push_back(std::move(line));
    return lines;
}

std::optional<std::string> ServiceCore::GpusChanged() {
    NvPhysicalGpuHandle handles[kNvMaxPhysicalGpus] = {};
    uint32_t count = 0;
    // The last GPU gone is a change too: the library then answers that it finds none.
    if (const NvStatus status = library_.EnumPhysicalGPUs(handles, &count); status == kNvDeviceNotFound)
        count = 0;
    else if (status != kNvOk)
        return std::nullopt;
    const int found = std::min<int>(static_cast<int>(count), kMaxGpus);
    if (found == boards_.gpuCount) return std::nullopt;
    return "the library finds " + std::to_string(found) + " GPU(s) where the service started with " +
           std::to_string(boards_.gpuCount);
}

bool ServiceCore::NeedsTicks() const {
    return history_ || pending_.Active() || curves_.Running() || fans_.Watching() || settings_.Settling() ||
           lighting_.FollowsLoad();
}

std::vector<std::string> ServiceCore::Tick(PendingChange::Clock::time_point now,
                                           std::chrono::system_clock::time_point wallNow) {
    std::vector<std::string> lines;
    if (history_)
        for (int gpu = 0; gpu < history_->GpuCount(); ++gpu) history_->Add(ReadSample(boards_, gpu, EpochMs(wallNow)));
    if (pending_.Expired(now)) lines = TakeBack("nobody kept it in time");
    lighting_.Tick();
    // The curves first: one whose temperature is lost hands its fan back itself, and the watch
    // then has nothing more to do for it.
    bool curveStopped = false;
    for (const FanCurveStop& stop : curves_.Tick(now)) {
        lines.push_back(DescribeCurveStop(stop));
        curveStopped = true;
    }
    for (const FanHandBack& handBack : fans_.Tick()) lines.push_back(DescribeHandBack(handBack));
    settings_.Tick();
    // A curve that ended by itself is not put back at the next start: its card refused it, or
    // its temperature could not be read.
    if (std::string why; curveStopped && !settings_.Save(why) && settings_.Kept())
        lines.push_back("the machine's settings could not be saved: " + why);
    return lines;
}

TuningReport ServiceCore::End() {
    TuningReport report;
    if (pending_.Active()) report = pending_.TakeBack();
    report.Append(curves_.End());
    const TuningReport fans = fans_.HandBackPinned();
    for (const TuningWriteResult& r : fans.Writes()) report.Add(r.gpu, r.operation, r.value, r.status);
    settings_.End();
    lighting_.End();
    return report;
}

}  // namespace pyx
