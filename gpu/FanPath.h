#pragma once
#include <cstdint>
#include <optional>
#include <string_view>

namespace pyx {

// How a board's fan is read and driven. Discovery chooses it from the chips that answer on the
// card's bus and from the library's cooler record; the hardware thread may refine it after the
// video BIOS was read.
enum class FanPath : uint8_t {
    LibraryCooler = 0,         // the library's cooler levels
    PacedLibraryCooler = 1,    // the same, paced for the slot-1 duty chip, which reports the duty
    LibraryCoolerAndChip = 2,  // the library's levels plus the slot-1 chip's duty registers
    TachometerChip = 3,        // the slot-0 chip, driven by tachometer count: levels are RPM
    FanCoolers = 4,            // only the library's fan-cooler interface
};

// The unit of a fan level that a path takes and reads back.
enum class FanUnit : uint8_t { Percent, Rpm };

// The unit as listings and JSON documents name it: "percent" or "rpm".
constexpr const char* FanUnitName(FanUnit unit) { return unit == FanUnit::Rpm ? "rpm" : "percent"; }
// The unit such a name stands for; none for any other text.
constexpr std::optional<FanUnit> FanUnitFromName(std::string_view name) {
    if (name == FanUnitName(FanUnit::Percent)) return FanUnit::Percent;
    if (name == FanUnitName(FanUnit::Rpm)) return FanUnit::Rpm;
    return std::nullopt;
}

// The number a listing shows for a path (0 to 4), as the program has always named them.
constexpr uint32_t FanPathCode(FanPath path) { return static_cast<uint32_t>(path); }

}  // namespace pyx
