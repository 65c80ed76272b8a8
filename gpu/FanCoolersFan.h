#pragma once
#include "gpu/FanDriver.h"

namespace pyx {

// A board whose legacy cooler record lists no cooler: its fans answer only to the library's
// fan-cooler interface (SetFanCoolerLevel, level 0 for automatic), so this path sets, restores
// and reads nothing itself.
class FanCoolersFan : public FanDriver {
public:
    FanPath Path() const override { return FanPath::FanCoolers; }
    [[nodiscard]] NvStatus SetLevel(GpuBoardTable&, int, int32_t) const override { return kNvNotSupported; }
    [[nodiscard]] NvStatus RestoreAutomatic(GpuBoardTable&, int) const override { return kNvNotSupported; }
    [[nodiscard]] NvStatus Reading(GpuBoardTable&, int, int32_t*) const override { return kNvNotSupported; }
    [[nodiscard]] NvStatus Mode(GpuBoardTable&, int, int32_t*) const override { return kNvFailed; }
};

}  // namespace pyx
