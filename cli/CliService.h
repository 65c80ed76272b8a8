#pragma once
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "app/ServiceClient.h"

namespace pyx {

// pyxtunectl's way to the service that owns the cards, when one does.
class CliService {
public:
    // The service to ask instead of opening the cards here. Null with exitCode kExitOk: no
    // service, work in this process; null otherwise: why was said on err.
    static std::unique_ptr<ServiceClient> Open(std::ostream& err, int& exitCode);

    // A request's answer; none after saying on err why not, with the exit status to end with
    // (bad arguments for a GPU this machine lacks, else the hardware's).
    static std::optional<nlohmann::json> Ask(ServiceClient& service, const ServiceRequest& request,
                                             const std::string& prefix, std::ostream& err, int& exitCode);
};

}  // namespace pyx
