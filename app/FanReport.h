#pragma once
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "gpu/FanState.h"
#include "gpu/GpuBoardTable.h"

namespace pyx {

// The fans of the cards as documents, whoever owns the cards: `pyxtunectl fan` builds them in
// its own process, the service for its clients, and both print them the same way.
class FanReport {
public:
    // Every fan path of each GPU handed back to the card's own control, every answer kept:
    // {"gpus":[{"gpu":N,"answers":[{"path","refused","status","write"}]}]}.
    static nlohmann::json HandBack(GpuBoardTable& boards, const std::vector<int>& gpus);
    // Who drives each fan now: {"gpus":[{"gpu":N,"fans":[{"path","coolerId","mode","level","unit"}]}]}.
    static nlohmann::json Read(GpuBoardTable& boards, const std::vector<int>& gpus);

    // "library cooler", "tachometer chip", "fan cooler 1": a fan outlet as a user reads it.
    static std::string OutletName(const FanOutlet& outlet);
    // "libraryCooler", "fanCoolers": the outlet's path for documents a program reads.
    static const char* PathKey(FanPath path);
};

}  // namespace pyx
