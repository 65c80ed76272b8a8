#include "gpu/PacedLibraryCoolerFan.h"

#include "gpu/FanHardware.h"

namespace pyx {

NvStatus ReadSlot1DutyPercent(GpuBoardTable& table, int gpu, uint8_t reg, int32_t* out) {
    uint8_t duty = 0;
    const NvStatus s = ReadFanChip(table, gpu, kFanChipSlot1, reg, &duty);
    if (s != kNvOk) return s;
    *out = (duty * 100 + 127) / 255;
    return kNvOk;
}

NvStatus PacedLibraryCoolerFan::SetLevel(GpuBoardTable& table, int gpu, int32_t value) const {
    PauseMs(kPacedCoolerDelayMs);
    return SetLibraryFanLevel(table, gpu, value, true);
}

NvStatus PacedLibraryCoolerFan::RestoreAutomatic(GpuBoardTable& table, int gpu) const {
    PauseMs(kPacedCoolerDelayMs);
    return RestoreLibraryFan(table, gpu);
}

NvStatus PacedLibraryCoolerFan::Reading(GpuBoardTable& table, int gpu, int32_t* out) const {
    return ReadSlot1DutyPercent(table, gpu, kSlot1DutyReading, out);
}

NvStatus PacedLibraryCoolerFan::Mode(GpuBoardTable& table, int gpu, int32_t* out) const {
    if (Slot0ChipTellsMode(table, gpu)) return Slot0ChipMode(table, gpu, out);
    PauseMs(kPacedCoolerDelayMs);
    return LibraryFanMode(table, gpu, out);
}

}  // namespace pyx
