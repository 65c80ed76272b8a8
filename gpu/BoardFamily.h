#pragma once
#include <cstdint>

namespace pyx {

// The design families the known boards belong to, told apart by their PCI device ids
// (BoardIdentification). Other known boards, and unknown ones, belong to none.
enum class BoardFamily : uint8_t { None, A, B, C, D };

// Families A to C reach the slot-6 device through the request form that names a port.
constexpr bool ReachesSlot6ByPortId(BoardFamily family) {
    return family == BoardFamily::A || family == BoardFamily::B || family == BoardFamily::C;
}

// Family D keeps its clock offsets on the clock-client VF points as well as in P-state 0.
constexpr bool KeepsOffsetsOnVfPoints(BoardFamily family) { return family == BoardFamily::D; }

// "A" to "D"; empty for none.
constexpr const char* BoardFamilyName(BoardFamily family) {
    switch (family) {
        case BoardFamily::A: return "A";
        case BoardFamily::B: return "B";
        case BoardFamily::C: return "C";
        case BoardFamily::D: return "D";
        case BoardFamily::None: break;
    }
    return "";
}

}  // namespace pyx
