#include "app/ServiceClient.h"

#include <chrono>
#include <cstdlib>

#include "service/core/ServiceProtocol.h"

namespace pyx {

namespace {

// A socket-activated service opens the cards before its first answer; later answers are quick.
constexpr std::chrono::seconds kFirstAnswerWait{30};
constexpr std::chrono::seconds kAnswerWait{10};

}  // namespace

std::string ServiceClient::ConfiguredAddress() {
    const char* mode = std::getenv("PYXTUNE_SERVICE");
    if (mode != nullptr && std::string_view(mode) == "off") return {};
    const char* named = std::getenv("PYXTUNE_SERVICE_SOCKET");
    return named != nullptr && *named != '\0' ? std::string(named) : DefaultServiceAddress();
}

std::unique_ptr<ServiceClient> ServiceClient::FromEnvironment(std::string_view clientName,
                                                              std::string_view clientVersion, std::string& error) {
    error.clear();
    const std::string address = ConfiguredAddress();
    if (address.empty()) return nullptr;
    const char* named = std::getenv("PYXTUNE_SERVICE_SOCKET");
    std::string why;
    auto channel = ConnectToService(address, why);
    if (!channel) {
        // The platform's socket not answering is the ordinary case of a machine without the
        // service; a socket the user named is one they expect to answer.
        if (named != nullptr && *named != '\0') error = "no Pyxtune service answers at " + why;
        return nullptr;
    }
    return Greet(std::move(channel), address, clientName, clientVersion, error);
}

std::unique_ptr<ServiceClient> ServiceClient::Greet(std::unique_ptr<ServiceChannel> channel, std::string address,
                                                    std::string_view clientName, std::string_view clientVersion,
                                                    std::string& error) {
    auto client =
        std::unique_ptr<ServiceClient>(new ServiceClient(std::move(channel), std::move(address), clientName, clientVersion));
    if (!client->Greeted(error)) return nullptr;
    return client;
}

bool ServiceClient::Greeted(std::string& error) {
    error.clear();
    std::string why;
    ServiceRequest hello;
    hello.kind = RequestKind::Hello;
    hello.clientVersion = kServiceProtocolVersion;
    const auto line = channel_->Exchange(ServiceProtocol::Format(hello), kFirstAnswerWait, why);
    if (!line) {
        error = "the Pyxtune service at " + address_ + " did not greet: " + why;
        return false;
    }
    nlohmann::json reply = nlohmann::json::parse(*line, nullptr, false);
    if (reply.is_discarded() || !reply.is_object()) {
        error = "the Pyxtune service at " + address_ + " answered what is not a greeting";
        return false;
    }
    if (!reply.value("ok", false)) {
        if (reply.value("error", std::string()) == ServiceErrorName(ServiceError::VersionMismatch))
            error = "The Pyxtune service is version " + reply.value("serviceVersion", std::string("?")) + " and this " +
                    clientName_ + " " + clientVersion_ + ": restart the service with systemctl restart pyxtuned";
        else
            error = "the Pyxtune service at " + address_ + " refused the greeting: " + reply.value("message", *line);
        return false;
    }
    hello_ = std::move(reply);
    return true;
}

void ServiceClient::SetWaitHooks(WaitHooks hooks) {
    hooks_ = std::move(hooks);
    HookWaiting(*channel_);
}

void ServiceClient::HookWaiting(ServiceChannel& channel) {
    if (!hooks_.waiting) {
        channel.SetWhileWaiting(nullptr);
        return;
    }
    channel.SetWhileWaiting([this](std::chrono::milliseconds waited) {
        waited_ = true;
        hooks_.waiting(waited);
    });
}

bool ServiceClient::Reconnected() {
    std::string why;
    auto channel = ConnectToService(address_, why);
    if (!channel) return false;
    HookWaiting(*channel);
    std::swap(channel_, channel);
    if (Greeted(why)) return true;
    std::swap(channel_, channel);
    return false;
}

std::string ServiceClient::BackendLine() const {
    return hello_.value("backendLine", std::string("Back-end: ?")) + "; owned by the Pyxtune service at " + address_;
}

std::optional<nlohmann::json> ServiceClient::Ask(const ServiceRequest& request, std::string& message,
                                                 std::optional<ServiceError>* error) {
    if (error != nullptr) error->reset();
    // A program that keeps its window going while it waits must not put a second request on
    // the line before the first one's answer: the answers would cross.
    if (asking_) {
        message = "the Pyxtune service is still answering this program's last request";
        return std::nullopt;
    }
    asking_ = true;
    std::string why;
    // A change may wait for an administrator's password in the desktop's prompt.
    const auto wait = AccessOf(request.kind) == AccessClass::Read ? kAnswerWait
                                                                  : std::chrono::seconds(kAuthorityWaitS) + kAnswerWait;
    auto line = channel_->Exchange(ServiceProtocol::Format(request), wait, why);
    // A window lives longer than a service between its upgrades: a connection the service
    // closed is made anew once. A change that waited on the old one was taken back there.
    if (!line && channel_->Closed() && Reconnected()) line = channel_->Exchange(ServiceProtocol::Format(request), wait, why);
    asking_ = false;
    if (waited_ && hooks_.ended) hooks_.ended();
    waited_ = false;
    if (!line) {
        message = "the Pyxtune service did not answer: " + why;
        return std::nullopt;
    }
    nlohmann::json reply = nlohmann::json::parse(*line, nullptr, false);
    if (reply.is_discarded() || !reply.is_object()) {
        message = "the Pyxtune service answered what is not a reply";
        return std::nullopt;
    }
    if (!reply.value("ok", false)) {
        message = reply.value("message", std::string("refused"));
        if (error != nullptr) *error = ServiceErrorFromName(reply.value("error", std::string()));
        return std::nullopt;
    }
    return reply;
}

}  // namespace pyx
