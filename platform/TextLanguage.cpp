#include "platform/TextLanguage.h"

TextLanguage LanguageOfLocaleName(std::string_view localeName) {
  // language[_territory][.codeset][@modifier]; the language alone decides.
  const size_t end = localeName.find_first_of("_.@-");
  std::string_view language = localeName.substr(0, end);
  const bool chinese = language.size() == 2 && (language[0] == 'z' || language[0] == 'Z') &&
                       (language[1] == 'h' || language[1] == 'H');
  return chinese ? TextLanguage::Chinese : TextLanguage::English;
}
