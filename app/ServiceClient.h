#pragma once
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "platform/ServiceChannel.h"
#include "service/core/ServiceRequest.h"

namespace pyx {

// A program of this project as a client of the service that owns the cards: it finds the
// service, agrees on the protocol and asks typed requests.
class ServiceClient {
public:
    // The service the environment points at, greeted: PYXTUNE_SERVICE=off means none (work in
    // this process); PYXTUNE_SERVICE_SOCKET=PATH names the socket, which must then answer;
    // otherwise the platform's socket when it answers. Null with `error` empty: no service,
    // work in-process. Null with `error` set: a service that should answer did not, or speaks
    // another version; `error` says what to do. `clientName` ("pyxtunectl", "window") and
    // `clientVersion` go into that message.
    static std::unique_ptr<ServiceClient> FromEnvironment(std::string_view clientName, std::string_view clientVersion,
                                                          std::string& error);
    // The service at the other end of `channel` (reached at `address`), greeted; null with
    // `error` set when it does not greet or speaks another version.
    static std::unique_ptr<ServiceClient> Greet(std::unique_ptr<ServiceChannel> channel, std::string address,
                                                std::string_view clientName, std::string_view clientVersion,
                                                std::string& error);

    // The socket the environment points at; empty when PYXTUNE_SERVICE=off or the platform has
    // no service.
    static std::string ConfiguredAddress();

    // The service's greeting: its versions, back-end and what each GPU can do.
    const nlohmann::json& Hello() const { return hello_; }
    // The back-end line of the service's cards, and that the service owns them.
    std::string BackendLine() const;

    // One request's answer; none, with the service's message (or why it did not answer), and
    // the service's error when it gave one.
    std::optional<nlohmann::json> Ask(const ServiceRequest& request, std::string& message,
                                      std::optional<ServiceError>* error = nullptr);

    // What the program does while a request waits on the service: `waiting` every few tens of
    // milliseconds with the time waited so far (a change may wait a minute on an
    // administrator's password in the desktop's prompt), then `ended` once the answer, or its
    // absence, is in. A request answered at once calls neither.
    struct WaitHooks {
        std::function<void(std::chrono::milliseconds waited)> waiting;
        std::function<void()> ended;
    };
    void SetWaitHooks(WaitHooks hooks);

private:
    ServiceClient(std::unique_ptr<ServiceChannel> channel, std::string address, std::string_view clientName,
                  std::string_view clientVersion)
        : channel_(std::move(channel)), address_(std::move(address)), clientName_(clientName),
          clientVersion_(clientVersion) {}

    // The greeting on the channel; false with `error` said as FromEnvironment says it.
    bool Greeted(std::string& error);
    // A new connection, greeted, in place of one the service closed (it was restarted, say).
    bool Reconnected();
    // The channel's wait hands the program its turns through the hooks.
    void HookWaiting(ServiceChannel& channel);

    std::unique_ptr<ServiceChannel> channel_;
    std::string address_;
    std::string clientName_, clientVersion_;
    nlohmann::json hello_;
    WaitHooks hooks_;
    bool waited_ = false;  // the hooks' `waiting` was called for the request under way
    bool asking_ = false;  // a request is under way (the hooks may run the program meanwhile)
};

}  // namespace pyx
