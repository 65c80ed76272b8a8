#pragma once
#include <poll.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <vector>

namespace pyx {

// The service's metrics over HTTP: GET /metrics answers the text the renderer makes, then the
// connection is closed. It lives in the service's one loop, every socket non-blocking: a
// scraper that stalls is closed at its deadline and holds up nobody. Only GET and HEAD of
// /metrics are served; the request's body, if any, is never read.
class MetricsEndpoint {
public:
    using Render = std::function<std::string()>;
    static constexpr std::size_t kMaxConnections = 16;
    static constexpr std::size_t kMaxRequestBytes = 8192;
    static constexpr std::chrono::milliseconds kDeadline{5000};

    // Listening at "HOST:PORT" (an IPv4 address, or an IPv6 one in brackets; port 0 takes a
    // free one); null with why when the address is not such or cannot be bound.
    static std::unique_ptr<MetricsEndpoint> Open(const std::string& address, Render render, std::string& why);
    // Whether the text is such an address; why not, when it is not.
    static bool CheckAddress(const std::string& address, std::string& why);
    // Whether "HOST:PORT" names a loopback address, which only this machine can reach.
    static bool IsLoopback(const std::string& address);
    ~MetricsEndpoint();
    MetricsEndpoint(const MetricsEndpoint&) = delete;
    MetricsEndpoint& operator=(const MetricsEndpoint&) = delete;

    // Where it listens, with the port it got: "127.0.0.1:9835".
    const std::string& Address() const { return address_; }

    // Its sockets for the loop's poll, appended to polled; Process takes the same ones back
    // (revents filled in) after the poll.
    void AddPollFds(std::vector<pollfd>& polled) const;
    // Milliseconds until the nearest deadline; -1 with none.
    int TimeoutMs() const;
    void Process(const pollfd* polled, std::size_t count);

private:
    struct Connection {
        int fd = -1;
        std::string in;
        std::string out;
        bool answered = false;
        std::chrono::steady_clock::time_point deadline;
    };
    MetricsEndpoint(int listenFd, std::string address, Render render)
        : listenFd_(listenFd), address_(std::move(address)), render_(std::move(render)) {}
    void Accept();
    // False when the connection is done with.
    bool Receive(Connection& c);
    bool Send(Connection& c);
    // After the answer: reads what the client still sends; false once it has closed.
    bool Drain(Connection& c);
    std::string Answer(const std::string& head) const;

    int listenFd_;
    std::string address_;
    Render render_;
    std::list<Connection> connections_;
};

}  // namespace pyx
