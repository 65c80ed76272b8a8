#pragma once
#include <span>

namespace pyx {

// The texts the Qt-free core puts before the user, word for word as the core writes them
// (app/CoreTexts.h). Message boxes translate them under the context "Messages", and the core
// reads the same translations from a table made of the .ts files; the list exists so that Qt's
// translation tools, which only find literals, know them.
std::span<const char* const> CoreMessageTexts();

}  // namespace pyx
