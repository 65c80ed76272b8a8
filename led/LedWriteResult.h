#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "gpu/NvApiStatus.h"

namespace pyx {

// One lighting write that a controller did not take.
struct LedRefusedWrite {
    int gpu = 0;
    uint8_t address = 0;  // 8-bit device address
    uint8_t reg = 0;      // the first register of the write
    NvStatus status = kNvOk;

    bool operator==(const LedRefusedWrite&) const = default;
};

// What the controllers refused of the writes a lighting sequence sent, in the order sent.
// The sequences carry on past some refusals (a mode's commit always goes out), so one
// result can hold several.
struct LedWriteResult {
    std::vector<LedRefusedWrite> refused;

    bool Clean() const { return refused.empty(); }
    // The first refusal's status; kNvOk when every write was taken.
    NvStatus FirstStatus() const { return refused.empty() ? kNvOk : refused.front().status; }
    // Records one write's outcome; true when it was taken.
    bool Note(int gpu, uint8_t address, uint8_t reg, NvStatus status) {
        if (status == kNvOk) return true;
        refused.push_back({gpu, address, reg, status});
        return false;
    }
    void Append(const LedWriteResult& other) { refused.insert(refused.end(), other.refused.begin(), other.refused.end()); }
};

// "0x58 register 0x05 (status -1), ..." in the order the writes were sent.
std::string DescribeRefusedWrites(const LedWriteResult& result);

}  // namespace pyx
