#include "app/ServiceReads.h"

namespace pyx {

namespace {

std::optional<int32_t> NumberOrNone(const nlohmann::json& entry, const char* key) {
    const auto it = entry.find(key);
    if (it == entry.end() || !it->is_number_integer()) return std::nullopt;
    return it->get<int32_t>();
}

}  // namespace

MonitorReadings ServiceReads::Readings(int gpu) {
    ServiceRequest request;
    request.kind = RequestKind::Monitor;
    request.gpu = gpu;
    std::string why;
    const auto answer = service_.Ask(request, why);
    if (!answer || !answer->contains("reading")) return {};
    return ReadingsFromJson(answer->at("reading"));
}

std::optional<std::vector<HistorySample>> ServiceReads::SamplesSince(std::optional<int64_t> sinceMs) {
    ServiceRequest request;
    request.kind = RequestKind::History;
    request.sinceMs = sinceMs;
    std::string why;
    const auto answer = service_.Ask(request, why);
    if (!answer || !answer->value("kept", false)) return std::nullopt;
    std::vector<HistorySample> samples;
    for (const nlohmann::json& doc : answer->value("samples", nlohmann::json::array()))
        if (std::optional<HistorySample> sample = SampleFromJson(doc)) samples.push_back(*sample);
    return samples;
}

std::optional<nlohmann::json> ServiceReads::CurveEntry(int gpu) {
    ServiceRequest show;
    show.kind = RequestKind::FanCurveShow;
    show.gpu = gpu;
    std::string why;
    const auto answer = service_.Ask(show, why);
    if (!answer) return std::nullopt;
    for (const nlohmann::json& entry : answer->value("gpus", nlohmann::json::array()))
        if (entry.is_object() && entry.value("gpu", -1) == gpu) return entry;
    return std::nullopt;
}

std::optional<FanCurve> ServiceReads::RunningCurve(int gpu) {
    const std::optional<nlohmann::json> entry = CurveEntry(gpu);
    if (!entry || !entry->contains("curve") || !entry->at("curve").is_string()) return std::nullopt;
    std::optional<FanCurve> curve = ParseFanCurvePoints(entry->at("curve").get<std::string>());
    if (curve) curve->autoBelow = entry->value("autoBelow", false);
    return curve;
}

std::optional<FanCurveLive> ServiceReads::CurveLive(int gpu) {
    const std::optional<nlohmann::json> entry = CurveEntry(gpu);
    // The live values come with a curve that runs, and only then.
    if (!entry || !entry->contains("automatic")) return std::nullopt;
    FanCurveLive live;
    live.temperatureC = NumberOrNone(*entry, "temperatureC");
    live.level = NumberOrNone(*entry, "level");
    live.automatic = entry->value("automatic", false);
    return live;
}

}  // namespace pyx
