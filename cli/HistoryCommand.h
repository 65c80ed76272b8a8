#pragma once
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace pyx {

// pyxtunectl history [--gpu N] [--since WHEN] [--csv|--json]: the samples the card owner kept
// (one a second of each GPU, for the last hour).
int RunHistoryCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// --since's value as the first time wanted (milliseconds since 1970-01-01 UTC): "90s", "10m"
// or "1h" back from nowMs, or a time as the CSV writes it; none when it is neither.
std::optional<int64_t> ParseSince(std::string_view text, int64_t nowMs);

}  // namespace pyx
