#pragma once
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/AppState.h"
#include "gpu/GpuBoardTable.h"
#include "led/LedEffectEngine.h"
#include "led/LedOrder.h"
#include "led/SteadyLedPacer.h"
#include "service/core/MachineSettings.h"
#include "service/core/PendingChange.h"
#include "service/core/ServiceRequest.h"

namespace pyx {

// The lighting the card owner runs for its clients: each order is checked against every GPU it
// names before any is lit, the effects the program animates run here after the answer (the load
// colour fed once a second), and the order is kept in the machine's "Led.txt", from which it
// goes back on the cards with the machine's settings (at start, after a resume, after a driver
// reload), as the window's start puts its saved lighting back.
class ServiceLighting {
public:
    ServiceLighting(GpuBoardTable& boards, AppState& state, MachineSettings& settings);

    // A lighting request from `connection`: its answer or its refusal.
    nlohmann::json Order(const ServiceRequest& request, ConnectionId connection = 0);
    // The Reset button's lighting half on every GPU: the zone and effect controllers to their
    // reset modes, the basic ones to static white; kept as an order is.
    nlohmann::json Reset();
    // The kept lighting back on every GPU whose probe finds a controller the saved lighting
    // chooses a mode for. Lines for the log.
    std::vector<std::string> PutBack(std::string_view occasion);
    // Whether an effect follows a GPU's load, which Tick then feeds.
    bool FollowsLoad() const { return loadGpu_.has_value(); }
    void Tick();
    // Whether the effects run on after the client that ordered them has gone; turned off, they
    // stop at once where that client is gone already. Answered with what was kept.
    nlohmann::json KeepRunning(bool keep);
    // A connection ended: the effects it ordered stop unless they are kept running. Lines for
    // the log.
    std::vector<std::string> ConnectionClosed(ConnectionId connection);
    // The effects stop; each controller keeps its last colour.
    void End();

private:
    LedEffectEngine& Engine();
    // Waits for the first frame of an effect the program animates on gpu (a frame may wait 2 s
    // for the bus): the refused writes of that frame, empty when it was taken.
    std::optional<std::string> FirstFrameRefusal(int gpu);
    // The answer with what was kept, or why not.
    nlohmann::json Kept(nlohmann::json answer);
    // The animation ends (each controller keeps its last frame); a later order starts afresh.
    void Stop();
    bool Animating() const { return engine_ && LedOrder::AnyEffectRunning(*engine_); }

    GpuBoardTable& boards_;
    AppState& state_;
    MachineSettings& settings_;
    SteadyLedPacer pacer_;
    std::unique_ptr<LedEffectEngine> engine_;  // made at the first order or put-back
    std::optional<int> loadGpu_;
    // The connection whose order the engine animates; none for the machine's own (put back).
    std::optional<ConnectionId> orderedBy_;
};

}  // namespace pyx
