#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Text helpers of the settings format: the files hold UTF-16 code units, the rest of the
// program speaks UTF-8, and names are matched without regard to letter case.
class CIniText {
public:
  // UTF-8 to UTF-16. A malformed byte sequence becomes U+FFFD rather than being dropped, so
  // a bad name can never silently equal a good one.
  static std::u16string FromUtf8(std::string_view utf8);

  // UTF-8 to UTF-16 that takes nothing malformed: the offset of the first byte that begins
  // no character (an overlong form, a surrogate, a cut or stray sequence), or none when every
  // byte belonged to one and `out` holds the text.
  static std::optional<std::size_t> FromUtf8Strict(std::string_view utf8, std::u16string& out);

  // UTF-16 to UTF-8. An unpaired surrogate (the files are not checked for them) becomes U+FFFD.
  static std::string ToUtf8(std::u16string_view utf16);

  // Letter case is folded for A-Z only, as the C locale does: the names and ids in these
  // files are ASCII, and a locale-dependent match would make a file mean different things on
  // different machines.
  static bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b);

  // Base-10 conversion as wcstol does it: leading white space is skipped, an optional sign,
  // then digits up to the first non-digit; no digits gives 0; out-of-range values saturate.
  // It never reads past the end of `text`, and saturates at the 32-bit range that the
  // settings fields have.
  static std::int32_t ToInt32(std::u16string_view text);
};
