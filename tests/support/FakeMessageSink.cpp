#include "tests/support/FakeMessageSink.h"

void FakeMessageSink::ShowMessage(std::string_view text, std::string_view caption,
                                  MessageIcon icon) {
  messages.push_back({std::string(text), std::string(caption), icon});
}
