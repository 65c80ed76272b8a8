#pragma once
#include <ostream>
#include <string>
#include <vector>

namespace pyx {

// pyxtunectl monitor [--gpu N] [--count N] [--interval MS] [--json]: the window's one-second
// readouts of one GPU, one line per reading.
int RunMonitorCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace pyx
