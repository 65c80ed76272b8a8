#pragma once
#include <ostream>
#include <string>
#include <vector>

namespace pyx {

// pyxtunectl monitor [--gpu N] [--count N] [--interval MS] [--json|--csv] [--log FILE]: the window's one-second
// readouts of one GPU, one line per reading; a fixed fan on a GPU at its thermal limit (or
// whose temperature is lost) goes back to the card, with a line of its own.
int RunMonitorCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace pyx
