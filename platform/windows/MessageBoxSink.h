#pragma once

#ifdef _WIN32

#include "platform/MessageSink.h"

// A message box with no owner and an OK button; the error icon when asked for.
class MessageBoxSink : public MessageSink {
 public:
  void ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon) override;
};

#endif
