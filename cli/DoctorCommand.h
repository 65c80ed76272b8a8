#pragma once
#include <ostream>
#include <string>
#include <vector>

namespace pyx {

// pyxtunectl doctor [--json]: which libraries were found or refused and why, and for each
// GPU who answers each id the program uses, with read latencies. Changes nothing.
int RunDoctorCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace pyx
