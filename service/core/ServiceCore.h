#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/FanSafety.h"
#include "gpu/GpuBoardTable.h"
#include "gpu/NvApiLibrary.h"
#include "service/core/AccessPolicy.h"
#include "service/core/ServiceProtocol.h"

namespace pyx {

// The card owner's answers, without any transport: a request line and its peer in, a reply
// line out. Every request is checked for its shape, its peer's rights and the cards' ranges
// before anything reaches a card. It also keeps the fan watch the owner of the cards must
// keep (Tick once a second, End at the service's end).
class ServiceCore {
public:
    // What the hello answers besides the cards: the service's version and how it reached them.
    struct Identity {
        std::string version;      // the program's
        std::string backendLine;  // "Back-end: ..." as pyxtunectl's first line says it
    };
    ServiceCore(NvApiLibrary& library, GpuBoardTable& boards, const AccessPolicy& policy, Identity identity);

    // One request line (without its newline) answered as one reply line (without its newline).
    std::string HandleLine(std::string_view line, const PeerCredentials& peer);
    nlohmann::json Handle(const ServiceRequest& request, const PeerCredentials& peer);

    // The fan watch's second: what it handed back, each as a line for the service's log.
    std::vector<std::string> Tick();
    // The service's end: every fan the watch holds goes back to the card.
    TuningReport End();

private:
    nlohmann::json Hello(const ServiceRequest& request) const;
    // The GPU a request names, or the refusal when the cards have none such.
    std::optional<nlohmann::json> CheckGpu(const std::optional<int>& gpu, bool required) const;
    nlohmann::json Monitor(int gpu);
    nlohmann::json Fans(const ServiceRequest& request);

    NvApiLibrary& library_;
    GpuBoardTable& boards_;
    const AccessPolicy& policy_;
    Identity identity_;
    FanSafety fans_;
};

}  // namespace pyx
