#pragma once
#include <ostream>
#include <string>
#include <vector>

namespace pyx {

// pyxtunectl list [--json]: one line per GPU with its identifiers, the back-end first.
int RunListCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace pyx
