#include "platform/StderrMessageSink.h"

void StderrMessageSink::ShowMessage(std::string_view text, std::string_view caption,
                                    MessageIcon icon) {
  std::fprintf(stream_, "%.*s%s: %.*s\n", static_cast<int>(caption.size()), caption.data(),
               icon == MessageIcon::Error ? " (error)" : "", static_cast<int>(text.size()),
               text.data());
  std::fflush(stream_);
}
