#pragma once
#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/TextLanguage.h"

namespace pyx {

// The texts the core puts before the user, in the user's language. Each is written in the
// core as it has always read; the translations are those of the window (CoreTextTable).
// Every text given here must be listed in ui/main/CoreMessageTexts.cpp, where the translation
// tools find it.
class CoreTexts {
public:
    // The language every later Text reads; AsWritten until the program chooses one.
    static void SetLanguage(TextLanguage language);
    static TextLanguage Language();

    // `source` in the chosen language; as written where that language has no finished
    // translation of it (an English text in English, say). The view is the table's or `source`.
    static std::string_view Text(std::string_view source);
    static std::string_view Text(std::string_view source, TextLanguage language);

    // `pattern` with %1 to %9 replaced by `args`, in one pass: an argument's own "%2" stays as
    // it is. A number without an argument, and any other '%', are kept.
    static std::string Fill(std::string_view pattern, std::initializer_list<std::string_view> args);
    // Text, then Fill: a translated sentence with the values in the places its language puts them.
    static std::string Format(std::string_view source, std::initializer_list<std::string_view> args);
};

}  // namespace pyx
