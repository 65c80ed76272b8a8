#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gpu/BiosScan.h"

namespace pyx {
namespace {

// A dump of `size` bytes with the given texts at the given positions.
std::vector<uint8_t> Dump(std::initializer_list<std::pair<size_t, std::string>> texts, size_t size = 1600) {
    std::vector<uint8_t> bytes(size, 0xFF);
    for (const auto& [at, text] : texts) std::memcpy(bytes.data() + at, text.data(), text.size());
    return bytes;
}

TEST(BiosScan, FindsNothingInABiosWithoutTags) {
    const auto result = ScanBios(Dump({{0, "\x55\xAA"}, {300, "NVIDIA GP104 Board"}}));
    EXPECT_EQ(result.tagIndex, -1);
    EXPECT_FALSE(result.fanMarker);
    EXPECT_FALSE(ScanBios({}).fanMarker) << "nothing read at all";
}

TEST(BiosScan, TheFirstTagOfTheListWinsWhereverItIs) {
    const auto result = ScanBios(Dump({{40, "VGA BIOS SE0001-F"}, {900, "VGA BIOS KA12.34"}}));
    EXPECT_EQ(result.tagIndex, 1);
    EXPECT_EQ(BiosTag(result.tagIndex), "VGA BIOS KA");
    EXPECT_EQ(result.position, 900u);
    EXPECT_FALSE(result.fanMarker) << "the marker belongs to the tag that lost";
}

TEST(BiosScan, MarkerFourBytesAfterTheTag) {
    EXPECT_TRUE(ScanBios(Dump({{100, "VGA BIOS RB1234-F"}})).fanMarker);
    EXPECT_TRUE(ScanBios(Dump({{100, "VGA BIOS V1234-F"}})).fanMarker) << "the one-letter tag";
    EXPECT_FALSE(ScanBios(Dump({{100, "VGA BIOS RB123-F"}})).fanMarker);
    EXPECT_FALSE(ScanBios(Dump({{100, "VGA BIOS RB1234-G"}})).fanMarker);
    // Only the tag's first position is looked at.
    EXPECT_FALSE(ScanBios(Dump({{100, "VGA BIOS MA0000.0"}, {700, "VGA BIOS MA1234-F"}})).fanMarker);
    // With a tag present, a free-standing marker elsewhere is not looked for.
    EXPECT_FALSE(ScanBios(Dump({{100, "VGA BIOS MA0000.0"}, {700, "V1234-F"}})).fanMarker);
}

TEST(BiosScan, FreeStandingMarkerWithoutATag) {
    EXPECT_TRUE(ScanBios(Dump({{500, "V86.0-F"}})).fanMarker);
    EXPECT_TRUE(ScanBios(Dump({{1592, "V86.0-F"}})).fanMarker) << "last position looked at";
    EXPECT_FALSE(ScanBios(Dump({{1593, "V86.0-F"}})).fanMarker);
    EXPECT_FALSE(ScanBios(Dump({{500, "V86.00-F"}})).fanMarker);
}

TEST(BiosScan, TagsAreLookedForUpToTheirLastPosition) {
    // "VGA BIOS KA" is 11 bytes: its last position is 1591 - 11.
    EXPECT_EQ(ScanBios(Dump({{1580, "VGA BIOS KA"}})).tagIndex, 1);
    EXPECT_EQ(ScanBios(Dump({{1581, "VGA BIOS KA"}})).tagIndex, -1);
    // Nothing past the first 1600 bytes counts.
    EXPECT_EQ(ScanBios(Dump({{1700, "VGA BIOS KA"}}, 4096)).tagIndex, -1);
}

TEST(BiosScan, AShortDumpReadsAsZeroBeyondItsEnd) {
    // The tag's marker bytes lie past the end of what was read: zero, no marker.
    const auto bytes = Dump({{0, "VGA BIOS SD1234"}}, 15);
    const auto result = ScanBios(bytes);
    EXPECT_EQ(result.tagIndex, 13);
    EXPECT_FALSE(result.fanMarker);
}

TEST(BiosScan, MarkerSelectsFanTypeTwoExceptForTheSlot0Chip) {
    BiosScanResult marked;
    marked.fanMarker = true;
    GpuBoard board;
    board.fan.Select(FanPath::PacedLibraryCooler);
    ApplyBiosScan(marked, board);
    EXPECT_EQ(board.fan.Path(), FanPath::LibraryCoolerAndChip);
    board.fan.Select(FanPath::TachometerChip);
    ApplyBiosScan(marked, board);
    EXPECT_EQ(board.fan.Path(), FanPath::TachometerChip);
    board.fan.Select(FanPath::LibraryCooler);
    ApplyBiosScan(BiosScanResult{}, board);
    EXPECT_EQ(board.fan.Path(), FanPath::LibraryCooler);
}

}  // namespace
}  // namespace pyx
