#pragma once

#include <memory>
#include <string_view>

#include "platform/MessageSink.h"

// The process-wide place where core code sends its messages to the user. It starts with the
// platform's own sink (a message box on Windows, standard error elsewhere); a user interface
// installs its own once it is up.
class MessageOutput {
 public:
  // The sink in use; valid until the next Replace.
  static MessageSink& Sink();
  // Installs `sink`; null goes back to the platform's own. Returns the one it replaces.
  static std::unique_ptr<MessageSink> Replace(std::unique_ptr<MessageSink> sink);
  static void Show(std::string_view text, std::string_view caption, MessageIcon icon);
};
