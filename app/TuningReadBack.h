#pragma once
#include <string>
#include <vector>

#include "app/TuningReport.h"
#include "gpu/GpuBoardTable.h"

namespace pyx {

// What the cards hold after a put-back, read back and set against what was sent: a driver can
// take a value and keep another (rounded to its own step, clamped, or dropped on a reset that
// came just after). Each accepted write's final value is compared with the card's report of the
// same quantity; a quantity the card does not report is not judged, and a refused write has
// its own line already.
class TuningReadBack {
public:
    // One line per quantity that differs, "GPU 0's graphics clock offset reads 95 MHz, not the
    // 100 MHz sent"; none when every card holds what it was sent.
    static std::vector<std::string> Drift(GpuBoardTable& boards, const TuningReport& sent);
};

}  // namespace pyx
