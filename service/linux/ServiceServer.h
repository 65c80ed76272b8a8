#pragma once
#include <chrono>
#include <cstddef>
#include <list>
#include <optional>
#include <ostream>
#include <string>

#include "service/core/AccessPolicy.h"
#include "service/core/ServiceCore.h"
#include "service/linux/MetricsEndpoint.h"
#include "service/linux/PolkitAuthority.h"
#include "service/linux/SystemEvents.h"

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
        // After a resume or a driver change, the cards are left this long to come up before
        // the settings go back; events within it are one put-back.
        std::chrono::milliseconds settle{2000};
    };

    // Takes the listening socket; SIGTERM and SIGINT must be blocked in every thread of the
    // process before any thread starts (Run reads them through a signalfd).
    // events: what makes the settings go back (none: only the start's put-back). authority:
    // who may grant what the policy refuses (none: nobody). metrics: the HTTP endpoint served
    // in the same loop (none: no metrics).
    ServiceServer(int listenFd, ServiceCore& core, std::ostream& log, Limits limits, SystemEvents* events = nullptr,
                  PolkitAuthority* authority = nullptr, MetricsEndpoint* metrics = nullptr);
    ~ServiceServer();
    ServiceServer(const ServiceServer&) = delete;
    ServiceServer& operator=(const ServiceServer&) = delete;

    // Serves until SIGTERM or SIGINT, or until a driver change brought another number of GPUs
    // (GpusChanged then says so); false when the loop could not be set up or failed.
    bool Run();
    // Whether Run ended because the GPUs changed: the service is to be started anew with them.
    bool GpusChanged() const { return gpusChanged_; }

private:
    struct Connection {
        int fd = -1;
        ConnectionId id = 0;
        PeerCredentials peer;
        std::string in;   // bytes of the request not yet ended by a newline
        std::string out;  // reply bytes not yet taken by the client
        bool closing = false;  // close once out is sent: the request was refused as too long
        bool parked = false;   // a request waits for the authority; the next ones wait behind it
        std::optional<std::chrono::steady_clock::time_point> deadline;
    };

    void Accept();
    // False when the connection is to be closed.
    bool Receive(Connection& c);
    // Answers the complete requests in c.in, up to one that must wait for the authority.
    void ProcessLines(Connection& c);
    void Dispatch(Connection& c, std::string_view line);
    bool Send(Connection& c);
    void Close(Connection& c, const char* why);
    void Log(const std::vector<std::string>& lines);
    // What the system said: a put-back is due once the cards have settled.
    void Schedule(const std::vector<SystemEvents::Event>& events);

    int listenFd_;
    bool gpusChanged_ = false;
    ServiceCore& core_;
    std::ostream& log_;
    Limits limits_;
    std::list<Connection> connections_;
    ConnectionId nextId_ = 1;
    SystemEvents* events_;
    PolkitAuthority* authority_;
    MetricsEndpoint* metrics_;
    std::optional<std::chrono::steady_clock::time_point> reapplyAt_;
    std::string reapplyOccasion_;
};

}  // namespace pyx
