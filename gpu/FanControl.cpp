#include "gpu/FanControl.h"

#include <cstring>

#include "gpu/FanHardware.h"

namespace pyx {

NvStatus SetFanLevel(GpuBoardTable& table, int gpu, int32_t value) {
    if (!table.IsValidGpu(gpu)) return kNvFailed;
    return table.Board(gpu).fan.Driver().SetLevel(table, gpu, value);
}

NvStatus RestoreFanAuto(GpuBoardTable& table, int gpu) {
    if (!table.IsValidGpu(gpu)) return kNvFailed;
    return table.Board(gpu).fan.Driver().RestoreAutomatic(table, gpu);
}

NvStatus GetFanReading(GpuBoardTable& table, int gpu, int32_t* out) {
    if (!table.IsValidGpu(gpu) || out == nullptr) return kNvFailed;
    return table.Board(gpu).fan.Driver().Reading(table, gpu, out);
}

NvStatus GetFanMode(GpuBoardTable& table, int gpu, int32_t* out) {
    if (!table.IsValidGpu(gpu) || out == nullptr) return kNvFailed;
    return table.Board(gpu).fan.Driver().Mode(table, gpu, out);
}

NvStatus GetFanRange(GpuBoardTable& table, int gpu, uint32_t* outMax, uint32_t* outMin) {
    if (!table.IsValidGpu(gpu)) return kNvFailed;
    const GpuBoard& board = table.Board(gpu);
    const int fan = FindFanCooler(board.coolerSettings);
    if (fan < 0) return kNvFailed;
    if (outMax) *outMax = board.coolerSettings.cooler[fan].maxLevel;
    if (outMin) *outMin = board.coolerSettings.cooler[fan].minLevel;
    return kNvOk;
}

NvStatus ReadBoardCoolerSettings(GpuBoardTable& table, int gpu) {
    if (!table.IsValidGpu(gpu)) return kNvFailed;
    GpuBoard& board = table.Board(gpu);
    const NvStatus s = ReadCoolerSettings(table, gpu, &board.coolerSettings);
    if (s == kNvOk && board.coolerSettings.count == 0) board.fan.Select(FanPath::FanCoolers);
    return s;
}

int QueryFanCoolers(GpuBoardTable& table, int gpu, NvFanCoolersInfo* infoRecord,
                    NvFanCoolersStatus* statusRecord) {
    if (!table.IsValidGpu(gpu)) return -1;
    NvFanCoolersInfo localInfo;
    NvFanCoolersStatus localStatus;
    NvFanCoolersInfo* info = infoRecord ? infoRecord : &localInfo;
    NvFanCoolersStatus* status = statusRecord ? statusRecord : &localStatus;
    std::memset(info, 0, sizeof *info);
    info->version = kFanCoolersInfoTag;
    DiagnosticsSink& diagnostics = table.Diagnostics();
    const NvPhysicalGpuHandle handle = table.Board(gpu).gpuHandle;
    NvStatus s = table.Library().FanCoolersGetInfo(handle, info);
    if (s != kNvOk) {
        diagnostics.Print("FanCoolersGetInfo API call failed with error %d\n", s);
        diagnostics.Flush();
        return -1;
    }
    if ((info->flags & 1u) == 0) {
        diagnostics.Print("Fan coolers are not supported!\n");
        diagnostics.Flush();
        return 0;
    }
    diagnostics.Print("Fan cooler status:\n");
    std::memset(status, 0, sizeof *status);
    status->version = kFanCoolersStatusTag;
    status->count = 0;
    s = table.Library().FanCoolersGetStatus(handle, status);
    if (s != kNvOk) {
        diagnostics.Print("FanCoolersGetStatus API call failed with error %d\n", s);
        diagnostics.Flush();
        return -1;
    }
    diagnostics.Flush();
    return 1;
}

NvStatus SetFanCoolerLevel(GpuBoardTable& table, int gpu, float percent, uint32_t coolerId) {
    if (!table.IsValidGpu(gpu)) return kNvFailed;
    NvApiLibrary& library = table.Library();
    DiagnosticsSink& diagnostics = table.Diagnostics();
    const NvPhysicalGpuHandle handle = table.Board(gpu).gpuHandle;
    // Truncated toward zero; a negative or non-numeric request means automatic.
    const uint32_t level = percent >= 1.0f ? static_cast<uint32_t>(percent > 100.0f ? 100.0f : percent) : 0;

    NvFanCoolersInfo info;
    std::memset(&info, 0, sizeof info);
    info.version = kFanCoolersInfoTag;
    NvStatus s = library.FanCoolersGetInfo(handle, &info);
    if (s == kNvNotSupported) {
        s = SendCoolerLevel(table, gpu, 0, level);
        if (s == kNvOk) {
            diagnostics.Print("Cooling seetings applied\n");
            NvCoolerSettingsV3 readBack;
            std::memset(&readBack, 0, sizeof readBack);
            readBack.version = kCoolerSettingsV3Tag;
            // Read back after the set, as the driver has always been asked; nothing is taken.
            (void)library.GetCoolerSettings(handle, 0, &readBack);
        } else {
            diagnostics.Print("API call failed with error %d\n", s);
        }
        diagnostics.Flush();
        return s;
    }
    if (s != kNvOk) {
        diagnostics.Print("FanCoolersGetInfo API call failed with error %d\n", s);
        diagnostics.Flush();
        return s;
    }
    if ((info.flags & 1u) == 0) {
        diagnostics.Print("Fan coolers are not supported!\n");
        diagnostics.Flush();
        return kNvNotSupported;
    }
    const uint32_t count = info.count < 32 ? info.count : 32;
    bool found = false;
    for (uint32_t i = 0; i < count && !found; ++i) found = info.entries[i].coolerId == coolerId;
    if (!found) {
        diagnostics.Print("Requested fan cooler is not supported!\n");
        diagnostics.Flush();
        return kNvFailed;
    }
    NvFanCoolersControl control;
    std::memset(&control, 0, sizeof control);
    control.version = kFanCoolersControlTag;
    control.count = 1;
    control.entries[0].coolerId = coolerId;
    control.entries[0].level = level;
    control.entries[0].flags = level > 0 ? 1u : 0u;
    s = library.FanCoolersSetControl(handle, &control);
    if (s != kNvOk) {
        diagnostics.Print("API call failed with error %d\n", s);
    } else {
        table.Board(gpu).fanCoolerControl = level > 0 ? FanCoolerControl::Manual : FanCoolerControl::Automatic;
        diagnostics.Print("Requested feature applied successfully\n\n");
    }
    diagnostics.Flush();
    return s;
}

}  // namespace pyx
