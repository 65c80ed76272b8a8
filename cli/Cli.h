#pragma once
#include <ostream>
#include <string>
#include <vector>

namespace pyx {

// Dispatches "pyxtunectl <command> [args]"; returns the exit status.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace pyx
