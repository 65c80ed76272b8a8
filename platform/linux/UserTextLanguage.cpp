#include "platform/TextLanguage.h"

#include <cstdlib>

TextLanguage UserTextLanguage() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return LanguageOfLocaleName(value);
  }
  return TextLanguage::English;
}
