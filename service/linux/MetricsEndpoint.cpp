#include "service/linux/MetricsEndpoint.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#include "app/MetricsText.h"

namespace pyx {

namespace {

using Clock = std::chrono::steady_clock;

// HOST and PORT of "HOST:PORT" or "[HOST]:PORT", as numbers only: a name would make the
// service ask the resolver at its start.
std::optional<addrinfo*> Resolve(const std::string& address, std::string& why) {
    const std::size_t colon = address.rfind(':');
    if (colon == std::string::npos || colon + 1 == address.size()) {
        why = "\"" + address + "\" is not an address and port such as 127.0.0.1:9835";
        return std::nullopt;
    }
    std::string host = address.substr(0, colon);
    const std::string port = address.substr(colon + 1);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    if (port.find_first_not_of("0123456789") != std::string::npos || port.size() > 5 || std::stol(port) > 65535) {
        why = "\"" + port + "\" is not a port (0 to 65535)";
        return std::nullopt;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV | AI_PASSIVE;
    addrinfo* found = nullptr;
    if (host.empty() || ::getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0 || found == nullptr) {
        why = "\"" + address + "\" does not name an IPv4 address, or an IPv6 one in brackets, and a port";
        return std::nullopt;
    }
    return found;
}

std::string Describe(const sockaddr_storage& name) {
    char host[INET6_ADDRSTRLEN] = {};
    if (name.ss_family == AF_INET6) {
        const auto& in6 = reinterpret_cast<const sockaddr_in6&>(name);
        ::inet_ntop(AF_INET6, &in6.sin6_addr, host, sizeof host);
        std::string text = "[";
        text += host;
        text += "]:";
        text += std::to_string(ntohs(in6.sin6_port));
        return text;
    }
    const auto& in4 = reinterpret_cast<const sockaddr_in&>(name);
    ::inet_ntop(AF_INET, &in4.sin_addr, host, sizeof host);
    return std::string(host) + ":" + std::to_string(ntohs(in4.sin_port));
}

std::string Response(const char* status, const char* contentType, const std::string& body, bool withBody,
                     const char* extra = "") {
    return std::string("HTTP/1.1 ") + status + "\r\nContent-Type: " + contentType +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" + extra + "Connection: close\r\n\r\n" +
           (withBody ? body : std::string());
}

}  // namespace

bool MetricsEndpoint::CheckAddress(const std::string& address, std::string& why) {
    const auto found = Resolve(address, why);
    if (found) ::freeaddrinfo(*found);
    return found.has_value();
}

bool MetricsEndpoint::IsLoopback(const std::string& address) {
    std::string why;
    const auto found = Resolve(address, why);
    if (!found) return false;
    bool loopback = false;
    if ((*found)->ai_family == AF_INET)
        loopback = (ntohl(reinterpret_cast<const sockaddr_in*>((*found)->ai_addr)->sin_addr.s_addr) >> 24) == 127;
    else if ((*found)->ai_family == AF_INET6)
        loopback = IN6_IS_ADDR_LOOPBACK(&reinterpret_cast<const sockaddr_in6*>((*found)->ai_addr)->sin6_addr);
    ::freeaddrinfo(*found);
    return loopback;
}

std::unique_ptr<MetricsEndpoint> MetricsEndpoint::Open(const std::string& address, Render render, std::string& why) {
    const auto found = Resolve(address, why);
    if (!found) return nullptr;
    const addrinfo& info = **found;
    const int fd = ::socket(info.ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int on = 1;
    bool ok = fd >= 0 && ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0 &&
              ::bind(fd, info.ai_addr, info.ai_addrlen) == 0 && ::listen(fd, 16) == 0;
    if (!ok) why = "the metrics cannot listen at " + address + ": " + std::strerror(errno);
    ::freeaddrinfo(*found);
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    if (ok && ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
        why = std::string("the metrics' socket has no address: ") + std::strerror(errno);
        ok = false;
    }
    if (!ok) {
        if (fd >= 0) ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<MetricsEndpoint>(new MetricsEndpoint(fd, Describe(bound), std::move(render)));
}

MetricsEndpoint::~MetricsEndpoint() {
    for (const Connection& c : connections_) ::close(c.fd);
    ::close(listenFd_);
}

void MetricsEndpoint::AddPollFds(std::vector<pollfd>& polled) const {
    polled.push_back({listenFd_, static_cast<short>(connections_.size() < kMaxConnections ? POLLIN : 0), 0});
    for (const Connection& c : connections_)
        polled.push_back({c.fd, static_cast<short>(c.answered && !c.out.empty() ? POLLOUT : POLLIN), 0});
}

int MetricsEndpoint::TimeoutMs() const {
    if (connections_.empty()) return -1;
    auto nearest = Clock::time_point::max();
    for (const Connection& c : connections_) nearest = std::min(nearest, c.deadline);
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(nearest - Clock::now()).count();
    return static_cast<int>(std::clamp<int64_t>(wait + 1, 0, kDeadline.count() + 1));
}

void MetricsEndpoint::Process(const pollfd* polled, std::size_t count) {
    std::size_t index = 1;
    for (auto it = connections_.begin(); it != connections_.end();) {
        Connection& c = *it;
        const short revents = index < count ? polled[index].revents : 0;
        ++index;
        bool keep = true;
        if (!c.answered && (revents & (POLLIN | POLLHUP | POLLERR)))
            keep = Receive(c);
        else if (c.answered && !c.out.empty() && (revents & (POLLOUT | POLLHUP | POLLERR)))
            keep = Send(c);
        else if (c.answered && c.out.empty() && (revents & (POLLIN | POLLHUP | POLLERR)))
            keep = Drain(c);
        if (keep && Clock::now() >= c.deadline) keep = false;
        if (!keep) {
            ::close(c.fd);
            it = connections_.erase(it);
        } else {
            ++it;
        }
    }
    if (count > 0 && (polled[0].revents & POLLIN)) Accept();
}

void MetricsEndpoint::Accept() {
    while (connections_.size() < kMaxConnections) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) return;
        Connection c;
        c.fd = fd;
        c.deadline = Clock::now() + kDeadline;
        connections_.push_back(std::move(c));
    }
}

bool MetricsEndpoint::Receive(Connection& c) {
    char buffer[2048];
    const ssize_t n = ::recv(c.fd, buffer, sizeof buffer, 0);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) return false;
    if (n < 0) return true;
    c.in.append(buffer, static_cast<std::size_t>(n));
    const std::size_t end = c.in.find("\r\n\r\n");
    const bool tooLong = (end == std::string::npos ? c.in.size() : end + 4) > kMaxRequestBytes;
    if (end == std::string::npos && !tooLong) return true;
    c.out = tooLong ? Response("431 Request Header Fields Too Large", "text/plain; charset=utf-8",
                               "request too large\n", true)
                    : Answer(c.in.substr(0, end));
    c.in.clear();
    c.answered = true;
    return Send(c);
}

std::string MetricsEndpoint::Answer(const std::string& head) const {
    // "METHOD TARGET VERSION" is the first line; the headers that follow change nothing here.
    const std::string line = head.substr(0, head.find("\r\n"));
    const std::size_t space1 = line.find(' ');
    const std::size_t space2 = space1 == std::string::npos ? std::string::npos : line.find(' ', space1 + 1);
    if (space2 == std::string::npos || line.compare(space2 + 1, 5, "HTTP/") != 0)
        return Response("400 Bad Request", "text/plain; charset=utf-8", "not an HTTP request\n", true);
    const std::string method = line.substr(0, space1);
    std::string target = line.substr(space1 + 1, space2 - space1 - 1);
    target = target.substr(0, target.find('?'));  // a scraper's parameters ask nothing of this one
    if (method != "GET" && method != "HEAD")
        return Response("405 Method Not Allowed", "text/plain; charset=utf-8", "only GET and HEAD\n", true,
                        "Allow: GET, HEAD\r\n");
    if (target != "/metrics")
        return Response("404 Not Found", "text/plain; charset=utf-8", "the metrics are at /metrics\n", method == "GET");
    return Response("200 OK", MetricsText::kContentType, render_(), method == "GET");
}

bool MetricsEndpoint::Send(Connection& c) {
    while (!c.out.empty()) {
        const ssize_t n = ::send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL);
        if (n < 0) return errno == EAGAIN || errno == EINTR;
        c.out.erase(0, static_cast<std::size_t>(n));
    }
    // All sent: the answer ends with the connection. What the client still sends is read and
    // dropped until it closes, as a close with unread bytes would reset the connection and
    // could take the answer with it.
    ::shutdown(c.fd, SHUT_WR);
    return true;
}

bool MetricsEndpoint::Drain(Connection& c) {
    char buffer[2048];
    const ssize_t n = ::recv(c.fd, buffer, sizeof buffer, 0);
    return n > 0 || (n < 0 && (errno == EAGAIN || errno == EINTR));
}

}  // namespace pyx
