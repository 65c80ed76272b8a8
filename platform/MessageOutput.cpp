#include "platform/MessageOutput.h"

#include <mutex>

#include "platform/SystemPlatform.h"

namespace {

std::mutex& SinkMutex() {
  static std::mutex mutex;
  return mutex;
}

std::unique_ptr<MessageSink>& Current() {
  static std::unique_ptr<MessageSink> sink = CreateSystemMessageSink();
  return sink;
}

}  // namespace

MessageSink& MessageOutput::Sink() {
  std::lock_guard lock(SinkMutex());
  return *Current();
}

std::unique_ptr<MessageSink> MessageOutput::Replace(std::unique_ptr<MessageSink> sink) {
  std::lock_guard lock(SinkMutex());
  if (!sink) sink = CreateSystemMessageSink();
  Current().swap(sink);
  return sink;
}

void MessageOutput::Show(std::string_view text, std::string_view caption, MessageIcon icon) {
  // The lock is held while the message is up, so a Replace cannot pull the sink away under it.
  std::lock_guard lock(SinkMutex());
  Current()->ShowMessage(text, caption, icon);
}
