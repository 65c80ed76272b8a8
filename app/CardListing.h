#pragma once
#include <string>

#include <nlohmann/json.hpp>

#include "gpu/GpuBoardTable.h"

namespace pyx {

// What `pyxtunectl list` shows of the cards, as one JSON document, whoever owns the cards: the
// command builds it in its own process, the service builds it for its clients, and both print
// it the same way. It only reads: the lighting controllers are found by register reads.
class CardListing {
public:
    // The "gpus" array: per GPU its identifiers, board families, boost clock, fan control type
    // and LED controllers.
    static nlohmann::json ReadGpus(GpuBoardTable& boards, const std::string& backend);

    // The listing's text of a "gpus" array: one identifier line per GPU, an empty line, then
    // one detail line per GPU.
    static std::string GpuLines(const nlohmann::json& gpus);
};

}  // namespace pyx
