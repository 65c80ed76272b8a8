#include "platform/TextLanguage.h"

#include <windows.h>

TextLanguage UserTextLanguage() {
  // The language the user reads Windows in, not the one numbers and dates are written in.
  return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_CHINESE ? TextLanguage::Chinese
                                                                   : TextLanguage::English;
}
