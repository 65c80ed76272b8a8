#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "gpu/GpuBoard.h"

namespace pyx {

// The part of the video BIOS the scan looks at, and how much of it must have been read for
// the reader to be taken as finished.
inline constexpr size_t kBiosScanBytes = 1600;
inline constexpr size_t kBiosEnoughBytes = 1500;
inline constexpr int kBiosTagCount = 15;

// The version tags, in the order they are tried.
std::string_view BiosTag(int index);

struct BiosScanResult {
    int tagIndex = -1;     // first tag of the list found anywhere; -1 none
    size_t position = 0;   // its first position
    bool fanMarker = false;  // the BIOS names the slot-1 chip's odd-register variant
};

// Scans the first BIOS bytes; bytes beyond the data count as zero.
BiosScanResult ScanBios(std::span<const uint8_t> data);

// Applies a scan to the board the BIOS was read from: the marker selects the slot-1 chip's
// duty registers as the fan path, unless the board's fan is driven by the slot-0 chip.
void ApplyBiosScan(const BiosScanResult& scan, GpuBoard& board);

}  // namespace pyx
