#include "platform/MessageOutput.h"

#include <atomic>

#include "platform/SystemPlatform.h"

namespace {

// A spin lock, held only to copy or swap one pointer: the MinGW runtime built without POSIX
// threads has no std::mutex.
std::atomic_flag busy = ATOMIC_FLAG_INIT;

class Guard {
 public:
  Guard() {
    while (busy.test_and_set(std::memory_order_acquire)) {
    }
  }
  ~Guard() { busy.clear(std::memory_order_release); }
  Guard(const Guard&) = delete;
  Guard& operator=(const Guard&) = delete;
};

std::shared_ptr<MessageSink>& Current() {
  static std::shared_ptr<MessageSink> sink = CreateSystemMessageSink();
  return sink;
}

}  // namespace

std::shared_ptr<MessageSink> MessageOutput::Sink() {
  Guard guard;
  return Current();
}

void MessageOutput::Replace(std::shared_ptr<MessageSink> sink) {
  if (!sink) sink = CreateSystemMessageSink();
  std::shared_ptr<MessageSink> old;
  {
    Guard guard;
    old = Current();
    Current() = std::move(sink);
  }
  // `old` goes here, outside the lock.
}

void MessageOutput::Show(std::string_view text, std::string_view caption, MessageIcon icon) {
  Sink()->ShowMessage(text, caption, icon);
}
