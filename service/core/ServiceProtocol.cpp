#include "service/core/ServiceProtocol.h"

#include <array>
#include <cstdint>
#include <limits>
#include <set>

namespace pyx {

namespace {

struct OperationShape {
    RequestKind kind;
    std::set<std::string> required;
    std::set<std::string> optional;
};

const std::array<OperationShape, 18>& Shapes() {
    static const std::array<OperationShape, 18> shapes = {{
        {RequestKind::Hello, {"version"}, {}},
        {RequestKind::List, {}, {}},
        {RequestKind::Monitor, {"gpu"}, {}},
        {RequestKind::FanShow, {}, {"gpu"}},
        {RequestKind::FanAuto, {}, {"gpu"}},
        {RequestKind::Apply, {"mode"}, {"gpu", "all", "custom", "revertAfterS"}},
        {RequestKind::Keep, {}, {}},
        {RequestKind::Revert, {}, {}},
        {RequestKind::FanCurveSet, {"points"}, {"gpu", "autoBelow"}},
        {RequestKind::FanCurveShow, {}, {"gpu"}},
        {RequestKind::History, {}, {"gpu", "since"}},
        {RequestKind::VfList, {"gpu"}, {}},
        {RequestKind::ApplyProfile, {"sections"}, {"revertAfterS"}},
        {RequestKind::Lighting, {"target", "mode"}, {"gpu", "all", "color", "periodS"}},
        {RequestKind::LightingReset, {}, {}},
        {RequestKind::ProfileRead, {}, {}},
        {RequestKind::ServiceSettingsShow, {}, {}},
        {RequestKind::ServiceSettingsSet, {"keepLighting"}, {}},
    }};
    return shapes;
}

std::string Accepted(const OperationShape& shape) {
    std::string text;
    for (const auto* fields : {&shape.required, &shape.optional})
        for (const std::string& field : *fields) text += (text.empty() ? "" : ", ") + field;
    return text.empty() ? "no field but op" : text;
}

ProtocolRefusal Bad(std::string message) { return {ServiceError::BadRequest, std::move(message)}; }

// A whole number that fits an int; JSON's 1.0 and "1" are not one.
bool WholeNumber(const nlohmann::json& value, int& out) {
    if (!value.is_number_integer()) return false;
    if (value.is_number_unsigned()) {
        const auto v = value.get<uint64_t>();
        if (v > static_cast<uint64_t>(std::numeric_limits<int>::max())) return false;
        out = static_cast<int>(v);
        return true;
    }
    const auto v = value.get<int64_t>();
    if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max()) return false;
    out = static_cast<int>(v);
    return true;
}

bool WholeNumber64(const nlohmann::json& value, int64_t& out) {
    if (!value.is_number_integer()) return false;
    if (value.is_number_unsigned() && value.get<uint64_t>() > static_cast<uint64_t>(INT64_MAX)) return false;
    out = value.get<int64_t>();
    return true;
}

constexpr std::array<ApplyModeName, 4> kModes = {ApplyModeName::Extreme, ApplyModeName::Performance,
                                                 ApplyModeName::Common, ApplyModeName::Custom};

// The seconds a change waits for its keep answer, where the request gives them.
std::optional<ProtocolRefusal> ParseRevertAfter(const nlohmann::json& doc, ServiceRequest& request) {
    if (const auto after = doc.find("revertAfterS"); after != doc.end()) {
        int64_t seconds = 0;
        if (!WholeNumber64(*after, seconds) || seconds < kMinRevertAfterS || seconds > kMaxRevertAfterS)
            return Bad("\"revertAfterS\" is a whole number of seconds from " + std::to_string(kMinRevertAfterS) + " to " +
                       std::to_string(kMaxRevertAfterS) + " (got " + after->dump() + ")");
        request.revertAfterS = static_cast<int>(seconds);
    }
    return std::nullopt;
}

// Apply's own fields, after the shared ones: the mode, the GPUs, custom's values, the time.
std::optional<ProtocolRefusal> ParseApply(const nlohmann::json& doc, ServiceRequest& request) {
    const nlohmann::json& mode = doc.at("mode");
    bool known = false;
    for (const ApplyModeName m : kModes)
        if (mode.is_string() && mode.get<std::string>() == ApplyModeText(m)) {
            request.mode = m;
            known = true;
        }
    if (!known) return Bad("\"mode\" is one of extreme, performance, common, custom (got " + mode.dump() + ")");
    if (const auto all = doc.find("all"); all != doc.end()) {
        if (!all->is_boolean()) return Bad("\"all\" is true or false");
        request.allGpus = all->get<bool>();
    }
    if (request.allGpus && request.gpu) return Bad("\"gpu\" and \"all\" exclude each other");
    const auto custom = doc.find("custom");
    if ((custom != doc.end()) != (request.mode == ApplyModeName::Custom))
        return Bad(request.mode == ApplyModeName::Custom ? "custom needs \"custom\" with its values"
                                                         : "\"custom\" belongs to the mode custom");
    if (custom != doc.end()) {
        if (!custom->is_object()) return Bad("\"custom\" is an object of whole numbers");
        RequestedCustom values;
        const std::pair<const char*, int64_t*> required[] = {
            {"core", &values.coreMHz}, {"mem", &values.memMHz}, {"power", &values.powerPercent}, {"fan", &values.fan}};
        for (const auto& [field, value] : custom->items()) {
            if (field != "core" && field != "mem" && field != "power" && field != "fan" && field != "gpuVf" &&
                field != "memVf")
                return Bad("unknown field \"" + field + "\" in custom (accepted: core, mem, power, fan, gpuVf, memVf)");
            int64_t number = 0;
            if (!WholeNumber64(value, number)) return Bad("custom's \"" + field + "\" is a whole number (got " + value.dump() + ")");
        }
        for (const auto& [field, target] : required) {
            if (!custom->contains(field)) return Bad(std::string("custom needs \"") + field + "\"");
            WholeNumber64(custom->at(field), *target);
        }
        for (const auto& [field, target] : {std::pair{"gpuVf", &values.gpuVfMHz}, std::pair{"memVf", &values.memVfMHz}})
            if (int64_t number = 0; custom->contains(field) && WholeNumber64(custom->at(field), number)) *target = number;
        request.custom = values;
    }
    if (doc.contains("revertAfterS") && request.mode == ApplyModeName::Common)
        return Bad("\"revertAfterS\" belongs to the modes that ask (common is kept at once)");
    return ParseRevertAfter(doc, request);
}

}  // namespace

std::string_view ApplyModeText(ApplyModeName mode) {
    switch (mode) {
        case ApplyModeName::Extreme: return "extreme";
        case ApplyModeName::Performance: return "performance";
        case ApplyModeName::Common: return "common";
        case ApplyModeName::Custom: return "custom";
    }
    return "?";
}

AccessClass AccessOf(RequestKind kind) {
    switch (kind) {
        case RequestKind::Lighting:
        case RequestKind::LightingReset:
        case RequestKind::ServiceSettingsSet:
            return AccessClass::Lighting;
        case RequestKind::FanAuto:
        case RequestKind::FanCurveSet:
        case RequestKind::Apply:
        case RequestKind::Keep:
        case RequestKind::Revert:
        case RequestKind::ApplyProfile:
            return AccessClass::Tuning;
        case RequestKind::Hello:
        case RequestKind::List:
        case RequestKind::Monitor:
        case RequestKind::FanShow:
        case RequestKind::FanCurveShow:
        case RequestKind::History:
        case RequestKind::VfList:
        case RequestKind::ProfileRead:
        case RequestKind::ServiceSettingsShow:
            break;
    }
    return AccessClass::Read;
}

std::string_view RequestName(RequestKind kind) {
    switch (kind) {
        case RequestKind::Hello: return "hello";
        case RequestKind::List: return "list";
        case RequestKind::Monitor: return "monitor";
        case RequestKind::FanShow: return "fanShow";
        case RequestKind::FanAuto: return "fanAuto";
        case RequestKind::Apply: return "apply";
        case RequestKind::Keep: return "keep";
        case RequestKind::Revert: return "revert";
        case RequestKind::FanCurveSet: return "fanCurveSet";
        case RequestKind::FanCurveShow: return "fanCurveShow";
        case RequestKind::History: return "history";
        case RequestKind::VfList: return "vf";
        case RequestKind::Lighting: return "lighting";
        case RequestKind::LightingReset: return "lightingReset";
        case RequestKind::ProfileRead: return "profileRead";
        case RequestKind::ApplyProfile: return "applyProfile";
        case RequestKind::ServiceSettingsShow: return "serviceSettingsShow";
        case RequestKind::ServiceSettingsSet: return "serviceSettingsSet";
    }
    return "?";
}

std::string_view ServiceErrorName(ServiceError error) {
    switch (error) {
        case ServiceError::BadRequest: return "badRequest";
        case ServiceError::TooLarge: return "tooLarge";
        case ServiceError::UnknownOperation: return "unknownOperation";
        case ServiceError::OutOfRange: return "outOfRange";
        case ServiceError::Denied: return "denied";
        case ServiceError::VersionMismatch: return "versionMismatch";
        case ServiceError::Hardware: return "hardware";
        case ServiceError::Busy: return "busy";
    }
    return "?";
}

std::optional<ServiceError> ServiceErrorFromName(std::string_view name) {
    for (const ServiceError error :
         {ServiceError::BadRequest, ServiceError::TooLarge, ServiceError::UnknownOperation, ServiceError::OutOfRange,
          ServiceError::Denied, ServiceError::VersionMismatch, ServiceError::Hardware, ServiceError::Busy})
        if (ServiceErrorName(error) == name) return error;
    return std::nullopt;
}

namespace {

// A name or value the owner writes into the settings text it reads: nothing in it may start a
// line, a section or a value of its own.
bool PlainText(const nlohmann::json& value, bool name) {
    if (!value.is_string()) return false;
    const std::string& text = value.get_ref<const std::string&>();
    if (text.size() > kMaxProfileText || (name && text.empty())) return false;
    for (const char c : text)
        if (c == '\r' || c == '\n' || c == '\0' || (name && (c == '=' || c == '[' || c == ']'))) return false;
    return true;
}

std::optional<ProtocolRefusal> ParseProfile(const nlohmann::json& sections, std::vector<ProfileSection>& out) {
    if (!sections.is_array() || sections.empty() || sections.size() > kMaxProfileSections)
        return Bad("\"sections\" is a list of 1 to " + std::to_string(kMaxProfileSections) +
                   " objects {\"section\": name, \"keys\": {key: value}}");
    for (const nlohmann::json& section : sections) {
        const auto name = section.is_object() ? section.find("section") : sections.end();
        const auto keys = section.is_object() ? section.find("keys") : sections.end();
        if (!section.is_object() || section.size() != 2 || name == section.end() || keys == section.end() ||
            !PlainText(*name, true) || !keys->is_object() || keys->size() > kMaxProfileKeys)
            return Bad("each section is {\"section\": name, \"keys\": {key: value}} with at most " +
                       std::to_string(kMaxProfileKeys) + " keys (got " + section.dump().substr(0, 80) + ")");
        ProfileSection parsed{name->get<std::string>(), {}};
        for (const auto& [key, value] : keys->items()) {
            if (!PlainText(key, true) || !PlainText(value, false))
                return Bad("[" + parsed.name + "]: keys and values are texts of one line, at most " +
                           std::to_string(kMaxProfileText) + " characters, a key without '=', '[' or ']'");
            parsed.keys.emplace_back(key, value.get<std::string>());
        }
        out.push_back(std::move(parsed));
    }
    return std::nullopt;
}

}  // namespace

std::variant<ServiceRequest, ProtocolRefusal> ServiceProtocol::Parse(std::string_view line) {
    if (line.size() > kMaxRequestBytes)
        return ProtocolRefusal{ServiceError::TooLarge,
                               "a request is at most " + std::to_string(kMaxRequestBytes) + " bytes"};
    const nlohmann::json doc = nlohmann::json::parse(line, nullptr, /*allow_exceptions=*/false);
    if (doc.is_discarded()) return Bad("the request is not JSON");
    if (!doc.is_object()) return Bad("the request is not a JSON object");
    const auto op = doc.find("op");
    if (op == doc.end() || !op->is_string()) return Bad("the request names no operation (\"op\")");
    const OperationShape* shape = nullptr;
    for (const OperationShape& s : Shapes())
        if (RequestName(s.kind) == op->get<std::string>()) shape = &s;
    if (shape == nullptr) {
        std::string known;
        for (const OperationShape& s : Shapes()) known += (known.empty() ? "" : ", ") + std::string(RequestName(s.kind));
        return ProtocolRefusal{ServiceError::UnknownOperation,
                               "unknown operation \"" + op->get<std::string>() + "\" (accepted: " + known + ")"};
    }
    const std::string name(RequestName(shape->kind));
    for (const auto& [field, value] : doc.items()) {
        if (field == "op" || shape->required.count(field) || shape->optional.count(field)) continue;
        return Bad("unknown field \"" + field + "\" for " + name + " (accepted: " + Accepted(*shape) + ")");
    }
    for (const std::string& field : shape->required)
        if (!doc.contains(field)) return Bad(name + " needs \"" + field + "\"");

    ServiceRequest request;
    request.kind = shape->kind;
    for (const char* field : {"version", "gpu"}) {
        const auto it = doc.find(field);
        if (it == doc.end()) continue;
        int value = 0;
        if (!WholeNumber(*it, value) || value < 0)
            return Bad(std::string("\"") + field + "\" is a whole number from 0 (got " + it->dump() + ")");
        if (std::string_view(field) == "version")
            request.clientVersion = value;
        else
            request.gpu = value;
    }
    if (request.kind == RequestKind::Apply)
        if (auto refusal = ParseApply(doc, request)) return *refusal;
    if (request.kind == RequestKind::ApplyProfile) {
        if (auto refusal = ParseRevertAfter(doc, request)) return *refusal;
        if (auto refusal = ParseProfile(doc.at("sections"), request.profile)) return *refusal;
    }
    if (request.kind == RequestKind::Lighting) {
        // The names are the owner's to check (against its controllers); here only their shape.
        for (const auto& [field, target] : {std::pair{"target", &request.ledTarget}, std::pair{"mode", &request.ledMode}}) {
            const nlohmann::json& value = doc.at(field);
            if (!value.is_string() || value.get_ref<const std::string&>().size() > 32)
                return Bad(std::string("\"") + field + "\" is a name such as those of pyxtunectl led");
            *target = value.get<std::string>();
        }
        if (const auto colour = doc.find("color"); colour != doc.end()) {
            if (!colour->is_string() || colour->get_ref<const std::string&>().size() > 16)
                return Bad("\"color\" is six hex digits RRGGBB");
            request.ledColour = colour->get<std::string>();
        }
        if (const auto period = doc.find("periodS"); period != doc.end()) {
            int64_t seconds = 0;
            if (!WholeNumber64(*period, seconds)) return Bad("\"periodS\" is a whole number of seconds");
            request.ledPeriodS = seconds;
        }
        if (const auto all = doc.find("all"); all != doc.end()) {
            if (!all->is_boolean()) return Bad("\"all\" is true or false");
            request.allGpus = all->get<bool>();
        }
        if (request.allGpus && request.gpu) return Bad("\"gpu\" and \"all\" exclude each other");
    }
    if (request.kind == RequestKind::FanCurveSet) {
        const nlohmann::json& points = doc.at("points");
        if (!points.is_string() || points.get<std::string>().size() > kMaxCurvePointsText)
            return Bad("\"points\" is a text such as \"40:30,60:50,80:100\" of at most " +
                       std::to_string(kMaxCurvePointsText) + " characters");
        request.curvePoints = points.get<std::string>();
        if (const auto below = doc.find("autoBelow"); below != doc.end()) {
            if (!below->is_boolean()) return Bad("\"autoBelow\" is true or false");
            request.autoBelow = below->get<bool>();
        }
    }
    if (const auto keep = doc.find("keepLighting"); keep != doc.end()) {
        if (!keep->is_boolean()) return Bad("\"keepLighting\" is true or false");
        request.keepLighting = keep->get<bool>();
    }
    if (const auto since = doc.find("since"); since != doc.end()) {
        int64_t ms = 0;
        if (!WholeNumber64(*since, ms) || ms < 0)
            return Bad("\"since\" is a time in whole milliseconds since 1970-01-01 UTC (got " + since->dump() + ")");
        request.sinceMs = ms;
    }
    return request;
}

std::string ServiceProtocol::Format(const ServiceRequest& request) {
    nlohmann::json doc = {{"op", RequestName(request.kind)}};
    if (request.kind == RequestKind::Hello) doc["version"] = request.clientVersion;
    if (request.gpu) doc["gpu"] = *request.gpu;
    if (request.kind == RequestKind::FanCurveSet) {
        doc["points"] = request.curvePoints;
        if (request.autoBelow) doc["autoBelow"] = true;
    }
    if (request.kind == RequestKind::History && request.sinceMs) doc["since"] = *request.sinceMs;
    if (request.kind == RequestKind::ServiceSettingsSet && request.keepLighting) doc["keepLighting"] = *request.keepLighting;
    if (request.kind == RequestKind::Lighting) {
        doc["target"] = request.ledTarget;
        doc["mode"] = request.ledMode;
        if (request.ledColour) doc["color"] = *request.ledColour;
        if (request.ledPeriodS) doc["periodS"] = *request.ledPeriodS;
        if (request.allGpus) doc["all"] = true;
    }
    if (request.kind == RequestKind::ApplyProfile) {
        doc["revertAfterS"] = request.revertAfterS;
        doc["sections"] = nlohmann::json::array();
        for (const ProfileSection& section : request.profile) {
            nlohmann::json keys = nlohmann::json::object();
            for (const auto& [key, value] : section.keys) keys[key] = value;
            doc["sections"].push_back({{"section", section.name}, {"keys", keys}});
        }
    }
    if (request.kind == RequestKind::Apply) {
        doc["mode"] = ApplyModeText(request.mode);
        if (request.allGpus) doc["all"] = true;
        if (request.mode != ApplyModeName::Common) doc["revertAfterS"] = request.revertAfterS;
        if (const auto& c = request.custom) {
            doc["custom"] = {{"core", c->coreMHz}, {"mem", c->memMHz}, {"power", c->powerPercent}, {"fan", c->fan}};
            if (c->gpuVfMHz) doc["custom"]["gpuVf"] = *c->gpuVfMHz;
            if (c->memVfMHz) doc["custom"]["memVf"] = *c->memVfMHz;
        }
    }
    return doc.dump();
}

nlohmann::json ServiceProtocol::Answer(nlohmann::json body) {
    body["ok"] = true;
    return body;
}

nlohmann::json ServiceProtocol::Refusal(ServiceError error, std::string_view message) {
    return {{"ok", false}, {"error", ServiceErrorName(error)}, {"message", message}};
}

}  // namespace pyx
