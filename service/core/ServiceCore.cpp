#include "service/core/ServiceCore.h"

#include "app/CardListing.h"
#include "app/FanReport.h"
#include "app/MonitorReadouts.h"
#include "gpu/CardTuning.h"

namespace pyx {

ServiceCore::ServiceCore(NvApiLibrary& library, GpuBoardTable& boards, const AccessPolicy& policy, Identity identity)
    : library_(library), boards_(boards), policy_(policy), identity_(std::move(identity)), fans_(boards) {
    // A fan left fixed by an owner that ended without handing it back (a crash, a kill) is
    // this owner's to watch from its first second.
    fans_.WatchManualFans();
}

std::string ServiceCore::HandleLine(std::string_view line, const PeerCredentials& peer) {
    auto parsed = ServiceProtocol::Parse(line);
    if (const auto* refusal = std::get_if<ProtocolRefusal>(&parsed))
        return ServiceProtocol::Refusal(refusal->error, refusal->message).dump();
    return Handle(std::get<ServiceRequest>(parsed), peer).dump();
}

nlohmann::json ServiceCore::Handle(const ServiceRequest& request, const PeerCredentials& peer) {
    const AccessDecision access = policy_.Decide(peer, AccessOf(request.kind));
    if (!access.allowed) return ServiceProtocol::Refusal(ServiceError::Denied, access.message);
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
            return ServiceProtocol::Answer(
                {{"reading", ReadingsJson(*request.gpu, ReadMonitors(boards_, *request.gpu), library_.BackendName())}});
        case RequestKind::FanShow:
        case RequestKind::FanAuto:
            if (auto refusal = CheckGpu(request.gpu, false)) return *refusal;
            return Fans(request);
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
                                    {"gpus", gpus}});
}

nlohmann::json ServiceCore::Fans(const ServiceRequest& request) {
    std::vector<int> gpus;
    for (int gpu = 0; gpu < boards_.gpuCount; ++gpu)
        if (!request.gpu || *request.gpu == gpu) gpus.push_back(gpu);
    return ServiceProtocol::Answer(request.kind == RequestKind::FanAuto ? FanReport::HandBack(boards_, gpus)
                                                                        : FanReport::Read(boards_, gpus));
}

std::vector<std::string> ServiceCore::Tick() {
    std::vector<std::string> lines;
    for (const FanHandBack& handBack : fans_.Tick()) lines.push_back(DescribeHandBack(handBack));
    return lines;
}

TuningReport ServiceCore::End() { return fans_.HandBackPinned(); }

}  // namespace pyx
