// Feeds arbitrary bytes to the service's request parser as one line from a client, and checks
// what the core relies on: a request is refused or has a known kind with the fields that kind
// takes; a refusal names an error and says why; and an accepted request formats to a line that
// parses to the same request.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <variant>

#include "service/core/ServiceProtocol.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const auto parsed = pyx::ServiceProtocol::Parse(line);
    if (const auto* refusal = std::get_if<pyx::ProtocolRefusal>(&parsed)) {
        Check(!refusal->message.empty());
        Check(pyx::ServiceErrorFromName(pyx::ServiceErrorName(refusal->error)) == refusal->error);
        return 0;
    }
    const auto& request = std::get<pyx::ServiceRequest>(parsed);
    Check(size <= pyx::kMaxRequestBytes);
    Check(!request.gpu || *request.gpu >= 0);
    Check(request.kind != pyx::RequestKind::Monitor || request.gpu.has_value());
    Check(request.kind == pyx::RequestKind::Hello || request.clientVersion == 0);
    const auto again = pyx::ServiceProtocol::Parse(pyx::ServiceProtocol::Format(request));
    const auto* same = std::get_if<pyx::ServiceRequest>(&again);
    Check(same != nullptr && same->kind == request.kind && same->gpu == request.gpu &&
          same->clientVersion == request.clientVersion);
    return 0;
}
