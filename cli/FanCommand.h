#pragma once
#include <ostream>
#include <string>
#include <vector>

namespace pyx {

// pyxtunectl fan auto [--gpu N | --all]: every fan path of the cards back under the card's own
// control. pyxtunectl fan show [--gpu N] [--json]: who drives each fan now, and at what level.
int RunFanCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace pyx
