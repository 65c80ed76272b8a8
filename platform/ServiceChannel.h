#pragma once
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace pyx {

// A connection to the service that owns the cards: lines of text each way, one reply per
// request. The transport is the platform's (a Unix socket on Linux).
class ServiceChannel {
public:
    virtual ~ServiceChannel() = default;
    // Sends one line (its newline added) and reads one line back (without it) within the
    // deadline; none, with why, when the service did not answer in time or went away.
    virtual std::optional<std::string> Exchange(std::string_view line, std::chrono::milliseconds deadline,
                                                std::string& why) = 0;
    // Whether the service has gone from the other end (closed it, or the connection broke), as
    // against not answering in time; such a channel answers nothing more.
    virtual bool Closed() const { return false; }

    // Called every few tens of milliseconds while an exchange waits, with the time it has waited
    // so far, so that a program can keep its window painting (a change may wait a minute on an
    // administrator's password); a program with nothing to do while it waits leaves it unset.
    using WhileWaiting = std::function<void(std::chrono::milliseconds waited)>;
    void SetWhileWaiting(WhileWaiting whileWaiting) { whileWaiting_ = std::move(whileWaiting); }

protected:
    WhileWaiting whileWaiting_;
};

// Where the service listens when nothing else is said; empty where this platform has none.
std::string DefaultServiceAddress();

// The service's channel at `address`; null, with why, when nothing answers there (no socket,
// nobody listening, or no service on this platform).
std::unique_ptr<ServiceChannel> ConnectToService(const std::string& address, std::string& why);

}  // namespace pyx
