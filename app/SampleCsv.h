#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/HistorySample.h"

namespace pyx {

// Samples as CSV: a header naming each series with its unit, then one line per sample. The
// time is ISO 8601 in UTC with milliseconds; an empty field is a value the card did not give.
// Watts and percent carry the thousandths the sample holds, so a line reads back as its sample.
class SampleCsv {
public:
    static std::string Header();
    static std::string Line(const HistorySample& sample);
    // A line of this form back into its sample; none for anything else (the header included).
    static std::optional<HistorySample> Parse(std::string_view line);

    // "2024-05-01T12:00:03.250Z"
    static std::string IsoTime(int64_t timeMs);
    static std::optional<int64_t> ParseIsoTime(std::string_view text);
};

}  // namespace pyx
