#pragma once
#include <ostream>
#include <string>
#include <vector>

namespace pyx {

// pyxtunectl led --gpu N --target T --mode NAME [--color RRGGBB] [--period S] [--hold S]:
// the LED page's choices for one GPU, applied as the window's Apply applies them.
int RunLedCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace pyx
