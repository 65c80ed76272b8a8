#include "app/ServiceChanges.h"

#include <cstdio>

#include "app/CIni.h"
#include "app/CIniText.h"
#include "app/SettingsFileWriter.h"
#include "app/FanCurve.h"
#include "app/ProfileSections.h"
#include "app/TuningController.h"
#include "led/LedOrder.h"
#include "led/LedProbe.h"
#include "platform/FileReplacement.h"

namespace pyx {

namespace {

std::optional<ApplyModeName> ModeName(int mode) {
    switch (mode) {
        case kTuningModeExtreme: return ApplyModeName::Extreme;
        case kTuningModePerformance: return ApplyModeName::Performance;
        case kTuningModeCommon: return ApplyModeName::Common;
        case kTuningModeCustom: return ApplyModeName::Custom;
        default: return std::nullopt;
    }
}

// The GPUs a page's Apply reaches, as the request names them.
void Target(const TuningPage& page, ServiceRequest& request) {
    request.allGpus = page.linkAllGpus || page.selectedGpu < 0;
    if (!request.allGpus) request.gpu = page.selectedGpu;
}

// Each refused write of a service's answer as a line: "GPU 0: fan speed 60 %: not supported".
std::string RefusalLines(const nlohmann::json& refusals) {
    std::string text;
    if (!refusals.is_array()) return text;
    for (const nlohmann::json& r : refusals)
        text += "GPU " + std::to_string(r.value("gpu", 0)) + ": " + r.value("write", std::string("?")) + ": " +
                r.value("statusText", std::string("?")) + "\n";
    return text;
}

// What a kept change could not do: the service could not store it for the next start.
std::string SaveProblem(const nlohmann::json& answer) {
    if (!answer.contains("saveError")) return {};
    return "The settings were applied but could not be saved for the next start: " +
           answer.value("saveError", std::string("?"));
}

// A lighting shown but not stored for the next start.
std::string NotKept(const nlohmann::json& answer) {
    if (!answer.contains("notKept")) return {};
    return "The lighting could not be kept for the next start: " + answer.value("notKept", std::string("?"));
}

}  // namespace

std::optional<nlohmann::json> ServiceChanges::Ask(const ServiceRequest& request, std::string& why) {
    std::string message;
    auto answer = service_.Ask(request, message);
    if (!answer) why = "The Pyxtune service did not carry it out: " + message;
    return answer;
}

ServiceRequest ServiceChanges::ApplyRequest(const TuningPage& page, int serviceWaitS) {
    ServiceRequest request;
    request.kind = RequestKind::Apply;
    request.mode = ModeName(page.tuningMode).value_or(ApplyModeName::Common);
    request.revertAfterS = serviceWaitS;
    Target(page, request);
    if (request.mode != ApplyModeName::Custom) return request;
    RequestedCustom custom;
    custom.coreMHz = page.gpuClock.pos;
    custom.memMHz = page.memClock.pos;
    custom.powerPercent = page.power.pos;
    custom.fan = page.fan.pos;
    // On a card with a VF range the VF sliders stand where the clock sliders are: they carry the
    // user's offsets. Elsewhere the service sends the clock offsets to the VF points too.
    if (page.gpuVf.HasRange()) {
        custom.gpuVfMHz = page.gpuVf.pos;
        custom.memVfMHz = page.memVf.pos;
    }
    request.custom = custom;
    return request;
}

ServiceChanges::Outcome ServiceChanges::Apply(const TuningPage& page, int serviceWaitS) {
    Outcome outcome;
    if (!ModeName(page.tuningMode)) return outcome;
    const auto answer = Ask(ApplyRequest(page, serviceWaitS), outcome.text);
    if (!answer) return outcome;
    outcome.done = true;
    outcome.text = answer->value("result", std::string(kAppliedText));
    const nlohmann::json notHeld = answer->value("notHeld", nlohmann::json::array());
    for (const nlohmann::json& gpu : notHeld)
        outcome.text += "\nGPU " + std::to_string(gpu.get<int>()) + " does not hold the values asked for.";
    outcome.waitsForKeep = !answer->value("kept", false);
    if (const std::string problem = SaveProblem(*answer); !problem.empty()) outcome.text += "\n\n" + problem;
    return outcome;
}

std::string ServiceChanges::Keep(const TuningPage& page) {
    ServiceRequest keep;
    keep.kind = RequestKind::Keep;
    std::string why;
    const auto kept = Ask(keep, why);
    if (!kept) return why;
    std::string text = SaveProblem(*kept);
    if (!page.fanCurve || page.tuningMode != kTuningModeCustom) return text;
    // The curve follows the tuning it came with: kept only when the tuning is.
    ServiceRequest curve;
    curve.kind = RequestKind::FanCurveSet;
    curve.curvePoints = FormatFanCurvePoints(*page.fanCurve);
    curve.autoBelow = page.fanCurve->autoBelow;
    if (!page.linkAllGpus && page.selectedGpu >= 0) curve.gpu = page.selectedGpu;
    const auto set = Ask(curve, why);
    if (!set) return text + (text.empty() ? "" : "\n\n") + "The fan curve was not applied: " + why;
    std::string stopped;
    for (const nlohmann::json& stop : set->value("stopped", nlohmann::json::array()))
        stopped += stop.value("message", std::string()) + "\n";
    return text + (text.empty() || stopped.empty() ? "" : "\n\n") + stopped;
}

std::string ServiceChanges::Revert() {
    ServiceRequest revert;
    revert.kind = RequestKind::Revert;
    std::string why;
    const auto answer = Ask(revert, why);
    if (!answer) return why;
    return RefusalLines(answer->value("revertRefusals", nlohmann::json::array()));
}

ServiceChanges::Outcome ServiceChanges::LoadProfile(const std::filesystem::path& file, int serviceWaitS,
                                                    const std::function<bool()>& confirmOverclock) {
    Outcome outcome;
    CIni ini;
    if (!ini.Load(file) || ini.Root()->child == nullptr) {
        outcome.text = file.string() + ": " + (ini.Root()->child == nullptr && ini.FailureText().empty()
                                                    ? std::string("holds no settings section (such as [Gpu1])")
                                                    : ini.FailureText());
        return outcome;
    }
    ServiceRequest request;
    request.kind = RequestKind::ApplyProfile;
    request.profile = ProfileSections::Of(ini);
    request.revertAfterS = serviceWaitS;
    if (ProfileSections::Overclock(request.profile) && !confirmOverclock()) return outcome;
    const auto answer = Ask(request, outcome.text);
    if (!answer) return outcome;
    outcome.done = true;
    const std::string refused = RefusalLines(answer->value("refusals", nlohmann::json::array()));
    // A clean load says nothing here: the window words it.
    outcome.text = refused.empty() ? std::string() : "Not every value was taken:\n\n" + refused;
    outcome.waitsForKeep = !answer->value("kept", false);
    return outcome;
}

ServiceChanges::Saved ServiceChanges::SaveProfile(const std::filesystem::path& file) {
    Saved saved;
    std::error_code why;
    const auto replacement = FileReplacement::Begin(file, why);
    if (!replacement) {
        saved = {0, file.string() + ": cannot be written: " + why.message(), true};
        return saved;
    }
    ServiceRequest request;
    request.kind = RequestKind::ProfileRead;
    const auto answer = Ask(request, saved.why);
    if (!answer) return saved;
    std::u16string text;
    const auto sent = answer->find("text");
    if (sent == answer->end() || !sent->is_string() || CIniText::FromUtf8Strict(sent->get<std::string>(), text)) {
        saved.why = "the Pyxtune service's answer holds no settings text; nothing was written";
        return saved;
    }
    if (!replacement->Commit(SettingsFileWriter(text).Bytes())) {
        saved = {0, file.string() + ": cannot be written: " + replacement->Error().message(), true};
        return saved;
    }
    saved.gpus = answer->value("gpus", 0);
    return saved;
}

ServiceChanges::Outcome ServiceChanges::ResetTuning(const TuningPage& page) {
    TuningPage common = page;
    common.tuningMode = kTuningModeCommon;
    Outcome outcome = Apply(common, kDefaultRevertAfterS);
    // Only the refusals are news after a reset.
    if (outcome.done && outcome.text == kAppliedText) outcome.text.clear();
    return outcome;
}

std::string ServiceChanges::ResetLighting() {
    ServiceRequest reset;
    reset.kind = RequestKind::LightingReset;
    std::string why;
    const auto answer = Ask(reset, why);
    return answer ? NotKept(*answer) : why;
}

std::optional<bool> ServiceChanges::KeepsLighting() {
    ServiceRequest show;
    show.kind = RequestKind::ServiceSettingsShow;
    std::string why;
    const auto answer = Ask(show, why);
    if (!answer || !answer->contains("keepLighting") || !answer->at("keepLighting").is_boolean()) return std::nullopt;
    return answer->at("keepLighting").get<bool>();
}

std::string ServiceChanges::KeepLighting(bool keep) {
    ServiceRequest set;
    set.kind = RequestKind::ServiceSettingsSet;
    set.keepLighting = keep;
    std::string why;
    const auto answer = Ask(set, why);
    if (!answer) return why;
    if (answer->contains("saveError"))
        return "The choice holds until the service ends, but was not kept: " + answer->value("saveError", std::string("?"));
    return {};
}

std::vector<LedBoardState> ServiceChanges::LedBoards() {
    ServiceRequest list;
    list.kind = RequestKind::List;
    std::string why;
    std::vector<LedBoardState> boards;
    const auto answer = Ask(list, why);
    if (!answer) return boards;
    for (const nlohmann::json& gpu : answer->value("gpus", nlohmann::json::array()))
        boards.push_back(LedBoardFromNames(gpu.value("ledControllers", std::vector<std::string>())));
    return boards;
}

std::vector<ServiceRequest> ServiceChanges::LightingRequests(const LedSettings& saved,
                                                             const std::vector<std::optional<LedTarget>>& targets) {
    const auto request = [&saved](LedTarget target, std::optional<int> gpu) -> std::optional<ServiceRequest> {
        const std::optional<LedOrder> order = LedOrder::FromSaved(saved, target);
        if (!order) return std::nullopt;
        ServiceRequest r;
        r.kind = RequestKind::Lighting;
        r.gpu = gpu;
        r.allGpus = !gpu;
        r.ledTarget = order->TargetName();
        r.ledMode = order->ModeName();
        char colour[7];
        std::snprintf(colour, sizeof colour, "%02x%02x%02x", order->Colour().r, order->Colour().g, order->Colour().b);
        r.ledColour = colour;
        r.ledPeriodS = order->PeriodS();
        return r;
    };
    std::vector<ServiceRequest> requests;
    bool alike = targets.size() > 1;
    for (const auto& target : targets) alike = alike && target && target == targets.front();
    if (alike) {
        if (auto all = request(*targets.front(), std::nullopt)) requests.push_back(std::move(*all));
        return requests;
    }
    for (size_t gpu = 0; gpu < targets.size(); ++gpu)
        if (targets[gpu])
            if (auto one = request(*targets[gpu], static_cast<int>(gpu))) requests.push_back(std::move(*one));
    return requests;
}

std::string ServiceChanges::Light(const LedSettings& saved, const std::vector<std::optional<LedTarget>>& targets) {
    std::string text;
    for (const ServiceRequest& request : LightingRequests(saved, targets)) {
        std::string why;
        const auto answer = Ask(request, why);
        const std::string said = answer ? NotKept(*answer) : why;
        if (!said.empty() && text.find(said) == std::string::npos) text += (text.empty() ? "" : "\n") + said;
    }
    return text;
}

}  // namespace pyx
