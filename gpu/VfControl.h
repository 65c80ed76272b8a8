#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "gpu/GpuBoardTable.h"
#include "gpu/NvApiRecords.h"
#include "gpu/NvApiStatus.h"

namespace pyx {

// Over-voltage, clock-client domains and the VF curve's per-point offsets. The readers write
// their listings to the table's diagnostics, as the diagnostics of a card have always been read.

// The clock-client readings in one buffer: domain information, VF-point information behind it.
struct ClockClientInfo {
    NvClkDomainsInfo domains;
    NvVfPointsInfo points;
};

// What the main window and the settings need from the domain listing: the offset ranges and
// VF index spans of the programmable graphics and memory domains, of the board read last.
struct ClockDomainRanges {
    int32_t graphicsOffsetMaxKHz = 0;
    int32_t graphicsOffsetMinKHz = 0;
    int32_t memoryOffsetMaxKHz = 0;
    int32_t memoryOffsetMinKHz = 0;
    uint8_t graphicsFirstVf = 0;
    uint8_t graphicsLastVf = 0;
    uint8_t memoryFirstVf = 0;
    uint8_t memoryLastVf = 0;
};

// The VF offsets of the board read last: one per point 0 to 254, and the offset of the last
// programmable graphics and memory point listed (the values the settings file keeps).
struct VfOffsetReadings {
    std::array<int32_t, kVfPointCount> pointOffsetKHz{};
    int32_t gpuVfOffset = 0;
    int32_t memVfOffset = 0;
};

// One clock-client domain as the card lists it.
struct VfDomain {
    int index = 0;
    uint32_t type = 0;  // ClockTypeName names it
    uint32_t domainId = 0;  // ClockDomainName names it
    int32_t offsetMaxKHz = 0;
    int32_t offsetMinKHz = 0;
    uint8_t firstVfPoint = 0;
    uint8_t lastVfPoint = 0;
};

// One VF point in the card's mask, with its frequency offset.
struct VfPoint {
    int index = 0;
    uint32_t type = 0;
    bool voltageBased = false;
    int32_t offsetKHz = 0;
};

// The whole VF curve: the domains and every point the card lists.
struct VfCurve {
    std::vector<VfDomain> domains;
    std::vector<VfPoint> points;
};

// Reads the domains, the points and their offsets without listing them and without keeping
// anything in the table; the first failing status.
[[nodiscard]] NvStatus ReadVfCurve(GpuBoardTable& table, int gpu, VfCurve& curve);

// Lists the percentage and keeps it in the table's percentOv.
[[nodiscard]] NvStatus ReadOverVoltage(GpuBoardTable& table, int gpu);
// Domain information, then the VF-point information; the first failing status.
[[nodiscard]] NvStatus ReadClockClientInfo(GpuBoardTable& table, int gpu, ClockClientInfo* buffer);
// Prints the domains and VF points. On success the table's clkDomainInfo and vfPoints hold
// the records read, and ranges (when given) the programmable graphics / memory parts; a part
// the board does not list keeps its earlier value.
[[nodiscard]] NvStatus ReadClockDomains(GpuBoardTable& table, int gpu, ClockDomainRanges* ranges = nullptr);
// Prints each domain's points with their offsets and keeps them in readings (when given).
// A point index of 255 can be listed but not kept: the library's records end at 254.
[[nodiscard]] NvStatus ReadVfPointOffsets(GpuBoardTable& table, int gpu, VfOffsetReadings* readings = nullptr);
// Sets one programmable point's offset. A point outside the mask, not programmable, or past
// the records' last index is left alone and answers -104.
[[nodiscard]] NvStatus SetVfPointOffset(GpuBoardTable& table, int gpu, int vfIndex, int32_t offsetKHz);

// Names used in the listings.
const char* ClockTypeName(uint32_t type);
const char* ClockDomainName(uint32_t domainId);

}  // namespace pyx
