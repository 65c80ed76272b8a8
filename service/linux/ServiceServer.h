#pragma once
#include <chrono>
#include <cstddef>
#include <list>
#include <optional>
#include <ostream>
#include <string>

#include "service/core/AccessPolicy.h"
#include "service/core/ServiceCore.h"

namespace pyx {

// The Linux front-end's loop: one thread, every connection non-blocking, so that a client that
// stalls holds up nobody. Each connection has its own deadline: a request begun must end
// within it, and a reply must be taken within it, or the connection is closed. A connection
// that waits between requests (a window left open) is kept.
class ServiceServer {
public:
    struct Limits {
        std::chrono::milliseconds deadline{10000};
        std::size_t maxConnections = 64;
        std::chrono::milliseconds tick{1000};  // the fan watch's second
    };

    // Takes the listening socket; SIGTERM and SIGINT must be blocked in every thread of the
    // process before any thread starts (Run reads them through a signalfd).
    ServiceServer(int listenFd, ServiceCore& core, std::ostream& log, Limits limits);
    ~ServiceServer();
    ServiceServer(const ServiceServer&) = delete;
    ServiceServer& operator=(const ServiceServer&) = delete;

    // Serves until SIGTERM or SIGINT; false when the loop could not be set up or failed.
    bool Run();

private:
    struct Connection {
        int fd = -1;
        PeerCredentials peer;
        std::string in;   // bytes of the request not yet ended by a newline
        std::string out;  // reply bytes not yet taken by the client
        bool closing = false;  // close once out is sent: the request was refused as too long
        std::optional<std::chrono::steady_clock::time_point> deadline;
    };

    void Accept();
    // False when the connection is to be closed.
    bool Receive(Connection& c);
    bool Send(Connection& c);
    void Close(Connection& c, const char* why);

    int listenFd_;
    ServiceCore& core_;
    std::ostream& log_;
    Limits limits_;
    std::list<Connection> connections_;
};

}  // namespace pyx
