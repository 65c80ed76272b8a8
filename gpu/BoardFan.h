#pragma once
#include <atomic>

#include "gpu/FanCoolersFan.h"
#include "gpu/FanDriver.h"
#include "gpu/FanPath.h"
#include "gpu/LibraryCoolerAndChipFan.h"
#include "gpu/LibraryCoolerFan.h"
#include "gpu/PacedLibraryCoolerFan.h"
#include "gpu/TachometerChipFan.h"

namespace pyx {

// One board's fan path and the driver of each path. Discovery selects the path; the hardware
// thread may refine it after the BIOS read while the window already uses the board, so the
// path is atomic and each call takes the driver of the path selected at that moment.
class BoardFan {
public:
    FanPath Path() const { return path_.load(); }
    void Select(FanPath path) { path_.store(path); }
    const FanDriver& Driver() const;

private:
    std::atomic<FanPath> path_{FanPath::LibraryCooler};
    LibraryCoolerFan libraryCooler_;
    PacedLibraryCoolerFan pacedLibraryCooler_;
    LibraryCoolerAndChipFan libraryCoolerAndChip_;
    TachometerChipFan tachometerChip_;
    FanCoolersFan fanCoolers_;
};

}  // namespace pyx
