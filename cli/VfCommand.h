#pragma once
#include <ostream>
#include <string>
#include <vector>

namespace pyx {

// pyxtunectl vf [--gpu N] [--json]: the clock-client domain and VF-point listings of a GPU.
int RunVfCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace pyx
