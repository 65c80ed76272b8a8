#pragma once
#include <ostream>
#include <string>
#include <vector>

#include "gpu/FanState.h"

namespace pyx {

// pyxtunectl fan auto [--gpu N | --all]: every fan path of the cards back under the card's own
// control. pyxtunectl fan show [--gpu N] [--json]: who drives each fan now, and at what level.
int RunFanCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// "library cooler", "tachometer chip", "fan cooler 1": a fan outlet as a user reads it.
std::string FanOutletName(const FanOutlet& outlet);
// "libraryCooler", "fanCoolers": the outlet's path for documents a program reads.
const char* FanPathKey(FanPath path);

}  // namespace pyx
