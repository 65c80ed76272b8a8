#include "cli/CliService.h"

#include "cli/CliSession.h"

namespace pyx {

std::unique_ptr<ServiceClient> CliService::Open(std::ostream& err, int& exitCode) {
    std::string error;
    auto service = ServiceClient::FromEnvironment("pyxtunectl", PYX_PROJECT_VERSION, error);
    exitCode = error.empty() ? kExitOk : kExitHardware;
    if (!error.empty()) err << "pyxtunectl: " << error << "\n";
    return service;
}

std::optional<nlohmann::json> CliService::Ask(ServiceClient& service, const ServiceRequest& request,
                                              const std::string& prefix, std::ostream& err, int& exitCode) {
    std::string message;
    std::optional<ServiceError> error;
    auto answer = service.Ask(request, message, &error);
    if (answer) {
        exitCode = kExitOk;
        return answer;
    }
    err << prefix << message << "\n";
    exitCode = error == ServiceError::OutOfRange || error == ServiceError::BadRequest ? kExitUsage : kExitHardware;
    return std::nullopt;
}

}  // namespace pyx
