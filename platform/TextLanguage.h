#pragma once

#include <cstdint>
#include <string_view>

// The language the program's texts are shown in. Its texts are written partly in Chinese (the
// original program's own) and partly in English; AsWritten shows them so.
enum class TextLanguage : uint8_t { AsWritten, English, Chinese };

// The language a POSIX locale name reads ("zh_CN.UTF-8", "en_US", "C"): Chinese for every
// Chinese locale, English for any other, an empty name included.
TextLanguage LanguageOfLocaleName(std::string_view localeName);

// The user's language as the system states it. Linux: the first of LC_ALL, LC_MESSAGES and LANG
// that is set and not empty, as the C library decides which language messages are in. Windows:
// the user's interface language. Never AsWritten.
TextLanguage UserTextLanguage();
