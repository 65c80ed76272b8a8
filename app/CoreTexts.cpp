#include "app/CoreTexts.h"

#include <atomic>

#include "app/CoreTextTable.h"

namespace pyx {

namespace {

// Chosen once at start, read from any thread (the monitor's fan warnings among them).
std::atomic<TextLanguage> language{TextLanguage::AsWritten};

}  // namespace

void CoreTexts::SetLanguage(TextLanguage chosen) { language.store(chosen); }

TextLanguage CoreTexts::Language() { return language.load(); }

std::string_view CoreTexts::Text(std::string_view source) { return Text(source, Language()); }

std::string_view CoreTexts::Text(std::string_view source, TextLanguage in) {
    for (const CoreTextPair& pair : CoreTextTable(in))
        if (pair.source == source) return pair.translation;
    return source;
}

std::string CoreTexts::Fill(std::string_view pattern, std::initializer_list<std::string_view> args) {
    std::string text;
    text.reserve(pattern.size());
    for (size_t i = 0; i < pattern.size(); ++i) {
        const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
        const size_t index = static_cast<size_t>(next - '1');
        if (pattern[i] == '%' && next >= '1' && next <= '9' && index < args.size()) {
            text += *(args.begin() + index);
            ++i;
            continue;
        }
        text += pattern[i];
    }
    return text;
}

std::string CoreTexts::Format(std::string_view source, std::initializer_list<std::string_view> args) {
    return Fill(Text(source), args);
}

}  // namespace pyx
