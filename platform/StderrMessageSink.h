#pragma once

#include <cstdio>

#include "platform/MessageSink.h"

// Messages for a program without a window of its own: one line on a stream, standard error
// unless told otherwise.
class StderrMessageSink : public MessageSink {
 public:
  explicit StderrMessageSink(std::FILE* stream = stderr) : stream_(stream) {}
  void ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon) override;

 private:
  std::FILE* stream_;
};
