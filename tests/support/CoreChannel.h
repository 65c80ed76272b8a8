#pragma once
#include <chrono>
#include <string>
#include <string_view>

#include "platform/ServiceChannel.h"
#include "service/core/ServiceCore.h"

namespace pyx::test {

// A client's connection to a service core in this process, as one peer: every line goes to
// the core as the socket would hand it over. The test links the core.
class CoreChannel final : public ServiceChannel {
public:
    CoreChannel(ServiceCore& core, PeerCredentials peer, ConnectionId connection = 1)
        : core_(core), peer_(std::move(peer)), connection_(connection) {}

    std::optional<std::string> Exchange(std::string_view line, std::chrono::milliseconds, std::string&) override {
        ++exchanges;
        return core_.HandleLine(line, peer_, connection_);
    }

    int exchanges = 0;

private:
    ServiceCore& core_;
    PeerCredentials peer_;
    ConnectionId connection_;
};

}  // namespace pyx::test
