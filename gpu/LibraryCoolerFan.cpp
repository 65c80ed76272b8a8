#include "gpu/LibraryCoolerFan.h"

#include "gpu/FanHardware.h"
#include "gpu/GpuBoardTable.h"

namespace pyx {

NvStatus LibraryCoolerFan::SetLevel(GpuBoardTable& table, int gpu, int32_t value) const {
    return SetLibraryFanLevel(table, gpu, value, true);
}

NvStatus LibraryCoolerFan::RestoreAutomatic(GpuBoardTable& table, int gpu) const {
    return RestoreLibraryFan(table, gpu);
}

NvStatus LibraryCoolerFan::Reading(GpuBoardTable& table, int gpu, int32_t* out) const {
    const int32_t level = table.Board(gpu).fanLevelNv;
    if (level == -1) return kNvFailed;
    *out = level;
    return kNvOk;
}

NvStatus LibraryCoolerFan::Mode(GpuBoardTable& table, int gpu, int32_t* out) const {
    if (Slot0ChipTellsMode(table, gpu)) return Slot0ChipMode(table, gpu, out);
    return LibraryFanMode(table, gpu, out);
}

}  // namespace pyx
