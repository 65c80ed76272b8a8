#pragma once

#include <memory>
#include <string_view>

#include "platform/MessageSink.h"

// The process-wide place where core code sends its messages to the user. It starts with the
// platform's own sink (a message box on Windows, standard error elsewhere); a user interface
// installs its own once it is up. Safe to use from any thread.
class MessageOutput {
 public:
  static std::shared_ptr<MessageSink> Sink();
  // Installs `sink`; null goes back to the platform's own. A message being shown on another
  // thread finishes on the sink it started with.
  static void Replace(std::shared_ptr<MessageSink> sink);
  static void Show(std::string_view text, std::string_view caption, MessageIcon icon);
};
