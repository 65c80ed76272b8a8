#pragma once
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/AppState.h"
#include "app/FanCurveEngine.h"
#include "app/FanSafety.h"
#include "app/SampleHistory.h"
#include "gpu/GpuBoardTable.h"
#include "gpu/NvApiLibrary.h"
#include "service/core/AccessPolicy.h"
#include "service/core/MachineSettings.h"
#include "service/core/PendingChange.h"
#include "service/core/ServiceLighting.h"
#include "service/core/ServiceProtocol.h"

namespace pyx {

// The card owner's answers, without any transport: a request line, its peer and connection in,
// a reply line out. Every request is checked for its shape, its peer's rights and the cards'
// ranges before anything reaches a card. It also keeps what must outlive any client: the fan
// curves, the fan watch, the keep-or-revert countdown, the machine's settings and its lighting (Tick once a second,
// ConnectionClosed for each connection that ends, End at the service's end), and, once asked
// to, the history of what each card did.
class ServiceCore {
public:
    // What the hello answers besides the cards: the service's version and how it reached them.
    struct Identity {
        std::string version;      // the program's
        std::string backendLine;  // "Back-end: ..." as pyxtunectl's first line says it
    };
    // settingsFolder: where the machine's "Preformance.txt" is kept; none keeps nothing.
    ServiceCore(NvApiLibrary& library, GpuBoardTable& boards, const AccessPolicy& policy, Identity identity,
                std::optional<std::filesystem::path> settingsFolder = std::nullopt);

    // One request line (without its newline) answered as one reply line (without its newline).
    std::string HandleLine(std::string_view line, const PeerCredentials& peer, ConnectionId connection = 0);
    // Whether the peer may ask for the request, by the policy alone.
    AccessDecision Authorize(const ServiceRequest& request, const PeerCredentials& peer) const;
    // grantedElsewhere: the system's authority granted what the policy refused (polkit).
    nlohmann::json Handle(const ServiceRequest& request, const PeerCredentials& peer, ConnectionId connection = 0,
                          bool grantedElsewhere = false);

    // From now on every Tick adds a sample of each GPU to the history (one hour of them), which
    // the history request answers from; the service then ticks every second.
    void KeepHistory();
    // None while no history is kept.
    const SampleHistory* History() const { return history_ ? &*history_ : nullptr; }
    // Each GPU's newest sample, for the metrics; empty without a history.
    std::vector<HistorySample> LatestSamples() const;

    // A connection ended: a change it applied and did not keep is taken back. Lines for the log.
    std::vector<std::string> ConnectionClosed(ConnectionId connection);
    // The stored settings back on the cards (at start, after a resume, after a driver reload);
    // `occasion` ("after a resume") goes into the log's lines.
    std::vector<std::string> Reapply(std::string_view occasion);
    // Where the library now finds another number of GPUs than this core started with (one
    // plugged in or taken out since), a line for the log that says so; none where it finds as
    // many or does not answer. The cards' table is made once per process: such a service is to
    // be started anew.
    std::optional<std::string> GpusChanged();
    // Whether Tick has anything to do: a history to keep, a fixed fan to watch, a change waiting
    // for its answer, a put-back's marker to clear. Without, the service sleeps until a client
    // or the system wakes it.
    bool NeedsTicks() const;
    // Once a second: the history's samples (stamped wallNow), the fan watch, the countdown, the
    // settings' guard. Lines for the log.
    std::vector<std::string> Tick(PendingChange::Clock::time_point now = PendingChange::Clock::now(),
                                  std::chrono::system_clock::time_point wallNow = std::chrono::system_clock::now());
    // The service's end: a change not kept is taken back, and every fan the watch holds goes
    // back to the card.
    TuningReport End();

private:
    nlohmann::json Hello(const ServiceRequest& request) const;
    // The GPU a request names, or the refusal when the cards have none such.
    std::optional<nlohmann::json> CheckGpu(const std::optional<int>& gpu, bool required) const;
    nlohmann::json Fans(const ServiceRequest& request);
    nlohmann::json SetCurve(const ServiceRequest& request);
    nlohmann::json ShowCurves(const ServiceRequest& request) const;
    nlohmann::json Samples(const ServiceRequest& request) const;
    std::vector<int> TargetGpus(const std::optional<int>& gpu) const;
    nlohmann::json Apply(const ServiceRequest& request, ConnectionId connection);
    nlohmann::json ApplyProfile(const ServiceRequest& request, ConnectionId connection);
    // The refusal while a change waits for its keep answer.
    std::optional<nlohmann::json> Busy(ConnectionId connection, PendingChange::Clock::time_point now) const;
    nlohmann::json KeepOrRevert(const ServiceRequest& request, ConnectionId connection);
    std::vector<std::string> TakeBack(const char* why);

    NvApiLibrary& library_;
    GpuBoardTable& boards_;
    const AccessPolicy& policy_;
    Identity identity_;
    AppState state_;
    FanSafety fans_;
    FanCurveEngine curves_;
    PendingChange pending_;
    MachineSettings settings_;
    std::optional<SampleHistory> history_;
    ServiceLighting lighting_;
};

}  // namespace pyx
