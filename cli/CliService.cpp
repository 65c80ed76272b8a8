#include "cli/CliService.h"

#include "cli/CliSession.h"
#include "platform/AuthAgent.h"

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
    // A change may wait for an administrator's password; at a terminal without a desktop
    // nobody would be asked for it, and the authority would refuse.
    const std::unique_ptr<AuthAgent> agent = AccessOf(request.kind) == AccessClass::Read ? nullptr : AuthAgent::ForTerminal();
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
