#include "gpu/BiosScan.h"

#include <array>
#include <cstring>

namespace pyx {

namespace {

constexpr std::array<std::string_view, kBiosTagCount> kTags = {
    "VGA BIOS V",  "VGA BIOS KA", "VGA BIOS KB", "VGA BIOS KC", "VGA BIOS MA",
    "VGA BIOS MB", "VGA BIOS RA", "VGA BIOS RB", "VGA BIOS RC", "VGA BIOS RD",
    "VGA BIOS SA", "VGA BIOS SB", "VGA BIOS SC", "VGA BIOS SD", "VGA BIOS SE"};

// Tag positions run up to 1591 minus the tag's length; the marker after a tag sits at most
// 5 bytes past its end, the free-standing "V....-F" marker at most 1592 + 6.
constexpr size_t kLastTagEnd = 1591;
constexpr size_t kLastMarkerStart = 1592;

using Buffer = std::array<uint8_t, kBiosScanBytes>;

bool Matches(const Buffer& buffer, size_t position, std::string_view tag) {
    return std::memcmp(buffer.data() + position, tag.data(), tag.size()) == 0;
}

}  // namespace

std::string_view BiosTag(int index) {
    return index >= 0 && index < kBiosTagCount ? kTags[static_cast<size_t>(index)] : std::string_view();
}

BiosScanResult ScanBios(std::span<const uint8_t> data) {
    Buffer buffer{};
    if (!data.empty())
        std::memcpy(buffer.data(), data.data(), data.size() < buffer.size() ? data.size() : buffer.size());

    BiosScanResult result;
    for (int t = 0; t < kBiosTagCount && result.tagIndex < 0; ++t) {
        const std::string_view tag = kTags[static_cast<size_t>(t)];
        for (size_t p = 0; p + tag.size() <= kLastTagEnd; ++p) {
            if (Matches(buffer, p, tag)) {
                result.tagIndex = t;
                result.position = p;
                break;
            }
        }
    }

    if (result.tagIndex >= 0) {
        const size_t after = result.position + kTags[static_cast<size_t>(result.tagIndex)].size();
        result.fanMarker = buffer[after + 4] == '-' && buffer[after + 5] == 'F';
    } else {
        for (size_t q = 0; q <= kLastMarkerStart; ++q) {
            if (buffer[q] == 'V' && buffer[q + 5] == '-' && buffer[q + 6] == 'F') {
                result.fanMarker = true;
                break;
            }
        }
    }
    return result;
}

void ApplyBiosScan(const BiosScanResult& scan, GpuBoard& board) {
    if (scan.fanMarker && board.fan.Path() != FanPath::TachometerChip) board.fan.Select(FanPath::LibraryCoolerAndChip);
}

}  // namespace pyx
