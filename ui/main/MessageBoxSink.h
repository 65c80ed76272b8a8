#pragma once
#include "platform/MessageSink.h"

namespace pyx {

// Shows the core's messages as message boxes without an owner. Messages sent from another
// thread are shown on the user-interface thread, and the sender waits until they are closed.
class MessageBoxSink : public MessageSink {
public:
    void ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon) override;
};

}  // namespace pyx
