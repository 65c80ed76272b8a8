#pragma once

#include <string>
#include <vector>

#include "platform/MessageSink.h"

// Keeps every message instead of showing it.
class FakeMessageSink : public MessageSink {
 public:
  struct Message {
    std::string text;
    std::string caption;
    MessageIcon icon;
  };

  void ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon) override;

  std::vector<Message> messages;
};
