#pragma once
#include <span>

namespace pyx {

// The texts the Qt-free core puts before the user, word for word as the core writes them.
// Message boxes translate them under the context "Messages"; the list exists so that Qt's
// translation tools, which only find literals, know them too.
std::span<const char* const> CoreMessageTexts();

}  // namespace pyx
