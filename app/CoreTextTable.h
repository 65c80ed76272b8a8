#pragma once
#include <span>
#include <string_view>

#include "platform/TextLanguage.h"

namespace pyx {

// One of the core's texts and what a user of a language reads instead.
struct CoreTextPair {
    std::string_view source;
    std::string_view translation;
};

// The finished translations of the core's texts (the context "Messages" of
// resources/translations/*.ts), made into code when the program is built
// (cmake/PyxCoreTextTable.cmake); none for AsWritten.
std::span<const CoreTextPair> CoreTextTable(TextLanguage language);

}  // namespace pyx
