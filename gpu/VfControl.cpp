#include "gpu/VfControl.h"

#include <cstring>

namespace pyx {

namespace {

constexpr uint32_t kClockTypeProgrammable = 0;
constexpr int kDomainEntries = 32;

bool PointInMask(const uint32_t mask[8], int index) {
    return index >= 0 && index < 256 && (mask[index / 32] & (1u << (index % 32))) != 0;
}

}  // namespace

const char* ClockTypeName(uint32_t type) {
    switch (type) {
    case 0: return "PROG";
    case 1: return "FIXED";
    default: return "UNKNOWN/ERROR";
    }
}

const char* ClockDomainName(uint32_t domainId) {
    switch (domainId) {
    case kDomainGraphics: return "GRAPHICS CLOCK";
    case kDomainMemory: return "MEMORY CLOCK";
    case kDomainProcessor: return "PROCESSOR CLOCK";
    default: return "UNKNOWN/ERROR";
    }
}

NvStatus ReadOverVoltage(GpuBoardTable& table, int gpu) {
    if (!table.IsValidGpu(gpu)) return kNvFailed;
    DiagnosticsSink& diagnostics = table.Diagnostics();
    diagnostics.Print("Over-voltage info:\n");
    NvVoltRailsControl record;
    std::memset(&record, 0, sizeof record);
    record.version = kVoltRailsControlTag;
    const NvStatus s = table.Library().VoltRailsGetControl(table.Board(gpu).gpuHandle, &record);
    if (s != kNvOk) {
        diagnostics.Print("getPercentOV API call failed with error %d\n", s);
    } else {
        diagnostics.Print("  Percentage OV                         = %u\n", static_cast<unsigned>(record.percent));
        table.percentOv = record.percent;
    }
    diagnostics.Flush();
    return s;
}

NvStatus ReadClockClientInfo(GpuBoardTable& table, int gpu, ClockClientInfo* buffer) {
    if (!table.IsValidGpu(gpu) || buffer == nullptr) return kNvFailed;
    DiagnosticsSink& diagnostics = table.Diagnostics();
    std::memset(buffer, 0, sizeof *buffer);
    const NvPhysicalGpuHandle handle = table.Board(gpu).gpuHandle;
    buffer->domains.version = kClkDomainsInfoTag;
    NvStatus s = table.Library().ClkDomainsGetInfo(handle, &buffer->domains);
    if (s != kNvOk) {
        diagnostics.Print("NvAPI_GPU_ClockClientClkDomainsGetInfo API call failed with error %d\n", s);
        diagnostics.Flush();
        return s;
    }
    buffer->points.version = kVfPointsInfoTag;
    s = table.Library().ClkVfPointsGetInfo(handle, &buffer->points);
    if (s != kNvOk) {
        diagnostics.Print("NvAPI_GPU_ClockClientClkVfPointsGetInfo API call failed with error %d\n", s);
        diagnostics.Flush();
    }
    return s;
}

NvStatus ReadClockDomains(GpuBoardTable& table, int gpu, ClockDomainRanges* ranges) {
    if (!table.IsValidGpu(gpu)) return kNvFailed;
    DiagnosticsSink& diagnostics = table.Diagnostics();
    ClockClientInfo info;
    const NvStatus s = ReadClockClientInfo(table, gpu, &info);
    if (s != kNvOk) {
        diagnostics.Print("Could not query CLIENT_CLK_INFO - failed with error %d\n", s);
        diagnostics.Flush();
        return s;
    }
    table.clkDomainInfo = info.domains;
    table.vfPoints = info.points;

    diagnostics.Print("CLIENT_CLK INFO:\n");
    for (int i = 0; i < kDomainEntries; ++i) {
        if ((info.domains.domainMask & (1u << i)) == 0) continue;
        const auto& d = info.domains.entries[i];
        diagnostics.Print(".domain[%d]\n", i);
        diagnostics.Print("\t.type=%s\n", ClockTypeName(d.type));
        diagnostics.Print("\t.domainId=%s\n", ClockDomainName(d.domainId));
        if (d.type != kClockTypeProgrammable) continue;
        diagnostics.Print("\t.prog\n");
        diagnostics.Print("\t\t.freqOffsetMaxkHz=%d\n", d.offsetMaxKHz);
        diagnostics.Print("\t\t.freqOffsetMinkHz=%d\n", d.offsetMinKHz);
        diagnostics.Print("\t\t.vfPointxIdFirst=%d\n", d.firstVfPoint);
        diagnostics.Print("\t\t.vfPointIdxLast=%d\n", d.lastVfPoint);
        if (ranges == nullptr) continue;
        if (d.domainId == kDomainGraphics) {
            ranges->graphicsOffsetMaxKHz = d.offsetMaxKHz;
            ranges->graphicsOffsetMinKHz = d.offsetMinKHz;
            ranges->graphicsFirstVf = d.firstVfPoint;
            ranges->graphicsLastVf = d.lastVfPoint;
        } else if (d.domainId == kDomainMemory) {
            ranges->memoryOffsetMaxKHz = d.offsetMaxKHz;
            ranges->memoryOffsetMinKHz = d.offsetMinKHz;
            ranges->memoryFirstVf = d.firstVfPoint;
            ranges->memoryLastVf = d.lastVfPoint;
        }
    }

    diagnostics.Print("\n\n");
    diagnostics.Print("-------------------- CLIENT_CLK_VF_POINTS ----------------------------\n");
    diagnostics.Print(".vfPointMask.super\n");
    for (int w = 0; w < 8; ++w) diagnostics.Print("\t.pData[%d]=0x%08x\n", w, info.points.mask[w]);
    for (int p = 0; p < kVfPointCount; ++p) {
        if (!PointInMask(info.points.mask, p)) continue;
        diagnostics.Print(".vfPoint[%d]\n", p);
        diagnostics.Print("\t.type=%s\n", ClockTypeName(info.points.entries[p].type));
        diagnostics.Print("\t.bVoltageBased=%d\n", info.points.entries[p].voltageBased);
    }
    diagnostics.Flush();
    return kNvOk;
}

NvStatus ReadVfCurve(GpuBoardTable& table, int gpu, VfCurve& curve) {
    curve = {};
    if (!table.IsValidGpu(gpu)) return kNvFailed;
    ClockClientInfo info;
    NvStatus s = ReadClockClientInfo(table, gpu, &info);
    if (s != kNvOk) return s;
    NvVfPointsControl control;
    std::memset(&control, 0, sizeof control);
    control.version = kVfPointsControlTag;
    std::memcpy(control.mask, info.points.mask, sizeof control.mask);
    s = table.Library().ClkVfPointsGetControl(table.Board(gpu).gpuHandle, &control);
    if (s != kNvOk) return s;
    for (int i = 0; i < 32; ++i) {
        if ((info.domains.domainMask & (1u << i)) == 0) continue;
        const auto& d = info.domains.entries[i];
        curve.domains.push_back({i, d.type, d.domainId, d.offsetMaxKHz, d.offsetMinKHz, d.firstVfPoint, d.lastVfPoint});
    }
    for (int i = 0; i < kVfPointCount; ++i) {
        if ((info.points.mask[i / 32] & (1u << (i % 32))) == 0) continue;
        curve.points.push_back({i, info.points.entries[i].type, info.points.entries[i].voltageBased != 0,
                                control.entries[i].freqDeltaKHz});
    }
    return kNvOk;
}

NvStatus ReadVfPointOffsets(GpuBoardTable& table, int gpu, VfOffsetReadings* readings) {
    if (!table.IsValidGpu(gpu)) return kNvFailed;
    DiagnosticsSink& diagnostics = table.Diagnostics();
    ClockClientInfo info;
    NvStatus s = ReadClockClientInfo(table, gpu, &info);
    if (s != kNvOk) {
        diagnostics.Print("Could not query CLIENT_CLK_INFO - failed with error %d\n", s);
        diagnostics.Flush();
        return s;
    }
    NvVfPointsControl control;
    std::memset(&control, 0, sizeof control);
    control.version = kVfPointsControlTag;
    std::memcpy(control.mask, info.points.mask, sizeof control.mask);
    s = table.Library().ClkVfPointsGetControl(table.Board(gpu).gpuHandle, &control);
    if (s != kNvOk) {
        diagnostics.Print("NvAPI_GPU_ClockClientClkVfPointsGetControl API call failed with error %d\n", s);
        diagnostics.Flush();
        return s;
    }
    table.vfPoints = info.points;

    diagnostics.Print("CLIENT_CLK CONTROL:\n");
    diagnostics.Print("-------------------- CLIENT_CLK_VF_POINTS (By Domain) -------------------------\n");
    for (int i = 0; i < kDomainEntries; ++i) {
        if ((info.domains.domainMask & (1u << i)) == 0) continue;
        const auto& d = info.domains.entries[i];
        diagnostics.Print("%s\n", ClockDomainName(d.domainId));
        if (d.type == kClockTypeProgrammable && d.firstVfPoint <= d.lastVfPoint) {
            // An int counter: a span ending at 255 must not wrap around.
            for (int p = d.firstVfPoint; p <= d.lastVfPoint; ++p) {
                diagnostics.Print("vfPoints[%d]\n", p);
                if (p >= kVfPointCount) continue;  // no control entry exists for it
                const auto& entry = control.entries[p];
                if (entry.type != kClockTypeProgrammable) continue;
                diagnostics.Print("\t.prog\n");
                diagnostics.Print("\t\t.freqOffsetkHz=%d\n", entry.freqDeltaKHz);
                if (readings == nullptr) continue;
                readings->pointOffsetKHz[static_cast<size_t>(p)] = entry.freqDeltaKHz;
                if (d.domainId == kDomainGraphics) readings->gpuVfOffset = entry.freqDeltaKHz;
                if (d.domainId == kDomainMemory) readings->memVfOffset = entry.freqDeltaKHz;
            }
        }
        diagnostics.Print("\n\n");
    }
    diagnostics.Flush();
    return kNvOk;
}

NvStatus SetVfPointOffset(GpuBoardTable& table, int gpu, int vfIndex, int32_t offsetKHz) {
    if (!table.IsValidGpu(gpu)) return kNvFailed;
    ClockClientInfo info;
    NvStatus s = ReadClockClientInfo(table, gpu, &info);
    if (s != kNvOk) return s;
    if (vfIndex < 0 || vfIndex >= kVfPointCount || !PointInMask(info.points.mask, vfIndex) ||
        info.points.entries[vfIndex].type != kClockTypeProgrammable)
        return kNvNotSupported;
    NvVfPointsControl control;
    std::memset(&control, 0, sizeof control);
    control.version = kVfPointsControlTag;
    control.mask[vfIndex / 32] = 1u << (vfIndex % 32);
    const NvPhysicalGpuHandle handle = table.Board(gpu).gpuHandle;
    s = table.Library().ClkVfPointsGetControl(handle, &control);
    if (s != kNvOk) return s;
    control.entries[vfIndex].freqDeltaKHz = offsetKHz;
    return table.Library().ClkVfPointsSetControl(handle, &control);
}

}  // namespace pyx
