#pragma once
#include <poll.h>

#include <functional>
#include <memory>
#include <string>

#include "service/core/AccessPolicy.h"

struct sd_bus;

namespace pyx {

// Asks polkit, over the system bus, whether a client process may take an action. The answer
// comes later (the user may be typing an administrator's password in the desktop's prompt),
// so the check is started here and finished from the server's loop.
class PolkitAuthority {
public:
    // Its own connection to the system bus; null with why when there is none.
    static std::unique_ptr<PolkitAuthority> Open(std::string& why);
    ~PolkitAuthority();
    PolkitAuthority(const PolkitAuthority&) = delete;
    PolkitAuthority& operator=(const PolkitAuthority&) = delete;

    // allowed, and when not, why in words (refused, no answer, no polkit).
    using Done = std::function<void(bool allowed, const std::string& why)>;
    // Starts the check of `action` for the peer's process (its pid and start time, as the kernel
    // gave them, so that another process that takes the pid later is not the one judged). False
    // with why when it could not be started; `done` is not called then.
    bool Check(const PeerCredentials& peer, const std::string& action, Done done, std::string& why);

    pollfd PollFd() const;
    int TimeoutMs() const;
    // After a poll: finished checks call their `done`.
    void Process();

    static constexpr int kCheckTimeoutS = kAuthorityWaitS;

private:
    PolkitAuthority() = default;

    sd_bus* bus_ = nullptr;
};

}  // namespace pyx
