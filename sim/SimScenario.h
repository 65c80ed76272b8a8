#pragma once
#include <filesystem>
#include <memory>
#include <string>

#include "sim/SimLibrary.h"

namespace pyx::sim {

// Scenarios describe simulated cards in JSON (see scenarios/*.json). Loading never throws:
// on failure it returns null and error says which file and what is wrong with it.
class SimScenario {
public:
    static std::unique_ptr<SimLibrary> FromText(const std::string& json, const std::string& source,
                                                std::string& error);
    static std::unique_ptr<SimLibrary> FromFile(const std::filesystem::path& path, std::string& error);
    // One card that shows every feature: a fan chip and both lighting controllers, the zone
    // one and the effect one, each with its zones. The page drives each by its own target; the
    // kind the first-success probe names is the effect controller's, since it asks 0xAC first.
    static std::unique_ptr<SimLibrary> Default();
    static const char* DefaultJson();
};

}  // namespace pyx::sim
