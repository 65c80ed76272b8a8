#pragma once

#include <string_view>

enum class MessageIcon { None, Error };

// Shows a short message with a caption to the user and waits until it is acknowledged.
class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual void ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon) = 0;
};
