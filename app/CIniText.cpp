#include "app/CIniText.h"

#include <limits>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf16(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

bool IsHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

char16_t FoldAscii(char16_t u) {
  return (u >= u'A' && u <= u'Z') ? static_cast<char16_t>(u - u'A' + u'a') : u;
}

bool IsCSpace(char16_t u) { return u == u' ' || (u >= 0x09 && u <= 0x0D); }

// The character that begins at utf8[i], and the bytes it took; false for a malformed one,
// which then takes its lead byte and every continuation byte that fitted.
bool DecodeUtf8At(std::string_view utf8, std::size_t i, char32_t& cp, std::size_t& taken) {
  const auto lead = static_cast<unsigned char>(utf8[i]);
  std::size_t extra = 0;
  char32_t minimum = 0;
  taken = 1;
  if (lead < 0x80) {
    cp = lead;
    return true;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    extra = 1, cp = lead & 0x1F, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    extra = 2, cp = lead & 0x0F, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3, cp = lead & 0x07, minimum = 0x10000;
  } else {
    return false;
  }
  for (; taken <= extra; ++taken) {
    if (i + taken >= utf8.size()) return false;
    const auto trail = static_cast<unsigned char>(utf8[i + taken]);
    if ((trail & 0xC0) != 0x80) return false;
    cp = (cp << 6) | (trail & 0x3F);
  }
  // Overlong forms, surrogates and values beyond U+10FFFF are not characters.
  return cp >= minimum && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
}

}  // namespace

std::u16string CIniText::FromUtf8(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0, taken = 0; i < utf8.size(); i += taken) {
    char32_t cp = 0;
    AppendUtf16(out, DecodeUtf8At(utf8, i, cp, taken) ? cp : kReplacement);
  }
  return out;
}

std::optional<std::size_t> CIniText::FromUtf8Strict(std::string_view utf8, std::u16string& out) {
  out.clear();
  out.reserve(utf8.size());
  for (std::size_t i = 0, taken = 0; i < utf8.size(); i += taken) {
    char32_t cp = 0;
    if (!DecodeUtf8At(utf8, i, cp, taken)) {
      out.clear();
      return i;
    }
    AppendUtf16(out, cp);
  }
  return std::nullopt;
}

std::string CIniText::ToUtf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    const char16_t u = utf16[i];
    if (IsHighSurrogate(u) && i + 1 < utf16.size() && IsLowSurrogate(utf16[i + 1])) {
      const char32_t cp = 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) +
                          (static_cast<char32_t>(utf16[i + 1]) - 0xDC00);
      AppendUtf8(out, cp);
      ++i;
    } else if (IsHighSurrogate(u) || IsLowSurrogate(u)) {
      AppendUtf8(out, kReplacement);
    } else {
      AppendUtf8(out, u);
    }
  }
  return out;
}

bool CIniText::EqualsIgnoreCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

std::int32_t CIniText::ToInt32(std::u16string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsCSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    ++i;
  }
  // Accumulate the magnitude in 64 bits and stop growing it once it is out of range, so a
  // line of a million digits neither overflows nor takes long.
  constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  std::int64_t magnitude = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    if (magnitude <= kLimit) magnitude = magnitude * 10 + (text[i] - u'0');
  }
  if (negative) {
    return magnitude >= kLimit ? std::numeric_limits<std::int32_t>::min()
                               : static_cast<std::int32_t>(-magnitude);
  }
  return magnitude >= kLimit ? std::numeric_limits<std::int32_t>::max()
                             : static_cast<std::int32_t>(magnitude);
}
