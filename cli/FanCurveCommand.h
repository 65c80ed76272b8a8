#pragma once
#include <ostream>
#include <string>
#include <vector>

namespace pyx {

// pyxtunectl fan curve set [--gpu N] T:L... [--auto-below] [--seconds S]: the fan follows the
// points. The service runs it from then on and at every start; without the service this
// command runs it in the foreground until Ctrl-C (or S seconds) and then hands the fan back.
// pyxtunectl fan curve show [--gpu N] [--json]: the curve each GPU follows, its temperature and
// level now. args: what follows "curve".
int RunFanCurveCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace pyx
