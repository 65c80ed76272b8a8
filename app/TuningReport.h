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
    void Append(const TuningReport& other) {
        writes_.insert(writes_.end(), other.writes_.begin(), other.writes_.end());
        skipped_.insert(skipped_.end(), other.skipped_.begin(), other.skipped_.end());
    }
    // A value of a file that was never sent, outside its card's range: why, in words.
    void Skip(std::string why) { skipped_.push_back(std::move(why)); }
    const std::vector<std::string>& Skipped() const { return skipped_; }

    const std::vector<TuningWriteResult>& Writes() const { return writes_; }
    // The refused writes, each value once (a repeat of the same refusal is left out).
    std::vector<TuningWriteResult> Refusals() const;
    bool AnyRefused() const;
    bool RefusedOn(int gpu) const;
    bool Refused(int gpu, TuningOperation operation) const;

private:
    std::vector<TuningWriteResult> writes_;
    std::vector<std::string> skipped_;
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

// The headings of DescribeRefusals, %1 the GPU's number; the refused writes themselves are
// named in the terms of pyxtunectl's documents, in English.
inline constexpr char kNotEverySettingAppliedText[] = "Not every setting was applied.";
inline constexpr char kGpuRefusedText[] = "GPU %1 refused:";
inline constexpr char kOtherSettingsAppliedText[] = "The other settings were applied.";

// The result message of an apply that was refused somewhere: per GPU, each refused write and
// why, then that the rest was sent, in the user's language. Empty when nothing was refused.
std::string DescribeRefusals(const TuningReport& report);

}  // namespace pyx
