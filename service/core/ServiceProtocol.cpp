#include "service/core/ServiceProtocol.h"

#include <array>
#include <limits>
#include <set>

namespace pyx {

namespace {

struct OperationShape {
    RequestKind kind;
    std::set<std::string> required;
    std::set<std::string> optional;
};

const std::array<OperationShape, 5>& Shapes() {
    static const std::array<OperationShape, 5> shapes = {{
        {RequestKind::Hello, {"version"}, {}},
        {RequestKind::List, {}, {}},
        {RequestKind::Monitor, {"gpu"}, {}},
        {RequestKind::FanShow, {}, {"gpu"}},
        {RequestKind::FanAuto, {}, {"gpu"}},
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

}  // namespace

AccessClass AccessOf(RequestKind kind) {
    switch (kind) {
        case RequestKind::FanAuto:
            return AccessClass::Tuning;
        case RequestKind::Hello:
        case RequestKind::List:
        case RequestKind::Monitor:
        case RequestKind::FanShow:
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
    }
    return "?";
}

std::optional<ServiceError> ServiceErrorFromName(std::string_view name) {
    for (const ServiceError error :
         {ServiceError::BadRequest, ServiceError::TooLarge, ServiceError::UnknownOperation, ServiceError::OutOfRange,
          ServiceError::Denied, ServiceError::VersionMismatch, ServiceError::Hardware})
        if (ServiceErrorName(error) == name) return error;
    return std::nullopt;
}

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
    return request;
}

std::string ServiceProtocol::Format(const ServiceRequest& request) {
    nlohmann::json doc = {{"op", RequestName(request.kind)}};
    if (request.kind == RequestKind::Hello) doc["version"] = request.clientVersion;
    if (request.gpu) doc["gpu"] = *request.gpu;
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
