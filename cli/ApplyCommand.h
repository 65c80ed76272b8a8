#pragma once
#include <ostream>
#include <string>
#include <vector>

namespace pyx {

// pyxtunectl apply extreme|performance|common|custom ...: a tuning mode applied as the
// window's Apply applies it, --yes standing for the warning's OK.
int RunApplyCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace pyx
