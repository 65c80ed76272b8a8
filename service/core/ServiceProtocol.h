#pragma once
#include <string>
#include <string_view>
#include <variant>

#include <nlohmann/json.hpp>

#include "service/core/ServiceRequest.h"

namespace pyx {

// A request refused before it reached anything: the error and a sentence for the user.
struct ProtocolRefusal {
    ServiceError error = ServiceError::BadRequest;
    std::string message;
};

// The wire form: one JSON object per line each way. Requests name their operation in "op";
// a field the operation does not take is refused rather than ignored, so that a client that
// means more than the service does learns it at once.
class ServiceProtocol {
public:
    // One request line (without its newline) into a typed request, or why not.
    static std::variant<ServiceRequest, ProtocolRefusal> Parse(std::string_view line);

    // The request's line, as a client sends it (without the newline).
    static std::string Format(const ServiceRequest& request);

    // Replies: {"ok":true, ...body} and {"ok":false,"error":NAME,"message":TEXT}.
    static nlohmann::json Answer(nlohmann::json body = nlohmann::json::object());
    static nlohmann::json Refusal(ServiceError error, std::string_view message);
};

}  // namespace pyx
