#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "gpu/CardWrites.h"
#include "gpu/NvApiStatus.h"

namespace pyx {

// One write and what the card answered.
struct TuningWriteResult {
    int gpu = -1;
    TuningOperation operation = TuningOperation::GraphicsClockOffset;
    int64_t value = 0;  // in the operation's unit
    NvStatus status = kNvOk;

    bool Refused() const { return status != kNvOk; }
};

// Every write of one apply or load, per GPU and operation, in the order they were sent. The
// window and pyxtunectl render it; nothing here prints.
class TuningReport {
public:
    void Add(int gpu, TuningOperation operation, int64_t value, NvStatus status) {
        writes_.push_back({gpu, operation, value, status});
    }
    // The writes one card answered, in their order.
    void Add(int gpu, const CardWrites& writes) {
        for (const CardWrite& w : writes.All()) Add(gpu, w.operation, w.value, w.status);
    }
    void Append(const TuningReport& other) { writes_.insert(writes_.end(), other.writes_.begin(), other.writes_.end()); }

    const std::vector<TuningWriteResult>& Writes() const { return writes_; }
    // The refused writes, each value once (a repeat of the same refusal is left out).
    std::vector<TuningWriteResult> Refusals() const;
    bool AnyRefused() const;
    bool RefusedOn(int gpu) const;
    bool Refused(int gpu, TuningOperation operation) const;

private:
    std::vector<TuningWriteResult> writes_;
};

// "graphics clock offset"
const char* OperationName(TuningOperation operation);
// "graphicsClockOffset", for documents a program reads.
const char* OperationKey(TuningOperation operation);
// "MHz", "%", "C", "RPM", "kHz"; empty for an operation without a value.
const char* OperationUnit(TuningOperation operation);
// "graphics clock offset 323 MHz"
std::string DescribeWrite(const TuningWriteResult& write);
// What a status means, in words a user reads, with the number: "the card does not accept
// this value (status -5)".
std::string StatusInWords(NvStatus status);

// The result message of an apply that was refused somewhere: per GPU, each refused write and
// why, then that the rest was sent. Empty when nothing was refused.
std::string DescribeRefusals(const TuningReport& report);

}  // namespace pyx
