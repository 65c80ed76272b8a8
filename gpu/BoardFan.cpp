#include "gpu/BoardFan.h"

namespace pyx {

const FanDriver& BoardFan::Driver() const {
    switch (Path()) {
        case FanPath::LibraryCooler: return libraryCooler_;
        case FanPath::PacedLibraryCooler: return pacedLibraryCooler_;
        case FanPath::LibraryCoolerAndChip: return libraryCoolerAndChip_;
        case FanPath::TachometerChip: return tachometerChip_;
        case FanPath::FanCoolers: return fanCoolers_;
    }
    return fanCoolers_;
}

}  // namespace pyx
