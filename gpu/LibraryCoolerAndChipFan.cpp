#include "gpu/LibraryCoolerAndChipFan.h"

#include "gpu/FanHardware.h"
#include "gpu/GpuBoardTable.h"
#include "gpu/PacedLibraryCoolerFan.h"

namespace pyx {

NvStatus LibraryCoolerAndChipFan::SetLevel(GpuBoardTable& table, int gpu, int32_t value) const {
    NvStatus s = SetLibraryFanLevel(table, gpu, value, false);
    if (s != kNvOk) return s;
    if (table.Board(gpu).fanChipLimit != -1) {
        s = WriteFanChip(table, gpu, kFanChipSlot1, kSlot1DutyLimit, 0xFF);
        if (s != kNvOk) return s;
    }
    uint8_t mode = 0;
    s = ReadFanChip(table, gpu, kFanChipSlot1, kSlot1Mode, &mode);
    if (s != kNvOk) return s;
    s = WriteFanChip(table, gpu, kFanChipSlot1, kSlot1Mode, static_cast<uint8_t>(mode | kSlot1ManualBits));
    if (s != kNvOk) return s;
    // One duty step is 0.39 %; 100 % (256.4 steps) is held at the register's 255.
    const double steps = value / 0.39;
    const uint8_t duty = steps >= 255.0 ? 255 : steps <= 0.0 ? 0 : static_cast<uint8_t>(steps);
    return WriteFanChip(table, gpu, kFanChipSlot1, kSlot1DutyTarget, duty);
}

NvStatus LibraryCoolerAndChipFan::RestoreAutomatic(GpuBoardTable& table, int gpu) const {
    const int32_t limit = table.Board(gpu).fanChipLimit;
    if (limit != -1) {
        const NvStatus s = WriteFanChip(table, gpu, kFanChipSlot1, kSlot1DutyLimit, static_cast<uint8_t>(limit & 0xFF));
        if (s != kNvOk) return s;
    }
    uint8_t mode = 0;
    NvStatus s = ReadFanChip(table, gpu, kFanChipSlot1, kSlot1Mode, &mode);
    if (s != kNvOk) return s;
    s = WriteFanChip(table, gpu, kFanChipSlot1, kSlot1Mode, static_cast<uint8_t>(mode & 0x1F));
    if (s != kNvOk) return s;
    // SetLevel fixed the library's cooler as well, and a chip under automatic control follows
    // that cooler's level: the chip alone would keep the fan where it was fixed.
    return RestoreLibraryFan(table, gpu);
}

NvStatus LibraryCoolerAndChipFan::Reading(GpuBoardTable& table, int gpu, int32_t* out) const {
    return ReadSlot1DutyPercent(table, gpu, kSlot1DutyTarget, out);
}

NvStatus LibraryCoolerAndChipFan::Mode(GpuBoardTable& table, int gpu, int32_t* out) const {
    if (Slot0ChipTellsMode(table, gpu)) return Slot0ChipMode(table, gpu, out);
    uint8_t mode = 0;
    const NvStatus s = ReadFanChip(table, gpu, kFanChipSlot1, kSlot1Mode, &mode);
    if (s != kNvOk) return s;
    *out = (mode & kSlot1ManualBits) == kSlot1ManualBits ? 2 : 1;
    return kNvOk;
}

}  // namespace pyx
