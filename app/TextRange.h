#pragma once

#include <cstdint>

// A stretch of the settings reader's buffer, by code-unit index. Both ends are inclusive, so an
// empty stretch has start == end + 1; a node that has not been given its text yet holds -1, -1.
// Indexes are 32-bit on purpose: the reader refuses files whose text would not fit them.
struct TextRange {
  std::int32_t start = -1;
  std::int32_t end = -1;

  constexpr std::int32_t Length() const { return end - start + 1; }
  constexpr bool IsEmpty() const { return Length() <= 0; }
};
