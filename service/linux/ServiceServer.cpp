#include "service/linux/ServiceServer.h"

#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace pyx {

namespace {

using Clock = std::chrono::steady_clock;

// A client that does not read its replies is not allowed to make the service buffer without
// end: past this much unsent, its further requests wait in the kernel.
constexpr std::size_t kMaxUnsentBytes = 1024 * 1024;

// The occasion a drm device's removal is said as; unlike the others it puts nothing back.
constexpr const char* kDeviceRemoved = "after a GPU's device was taken away";

PeerCredentials ReadPeer(int fd) {
    PeerCredentials peer;
    ucred cred{};
    socklen_t length = sizeof cred;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &length) == 0) {
        peer.uid = cred.uid;
        peer.gid = cred.gid;
        peer.pid = cred.pid;
    } else {
        // Unknown credentials are nobody's: the policy grants them reading only.
        peer.uid = peer.gid = 65534;
    }
    std::vector<gid_t> groups(64);
    socklen_t size = static_cast<socklen_t>(groups.size() * sizeof(gid_t));
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERGROUPS, groups.data(), &size) != 0 && errno == ERANGE) {
        groups.resize(size / sizeof(gid_t));
        if (::getsockopt(fd, SOL_SOCKET, SO_PEERGROUPS, groups.data(), &size) != 0) size = 0;
    }
    groups.resize(size / sizeof(gid_t));
    peer.groups.assign(groups.begin(), groups.end());
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    peer.userName = ::getpwuid_r(peer.uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr
                        ? found->pw_name
                        : std::to_string(peer.uid);
    return peer;
}

}  // namespace

ServiceServer::ServiceServer(int listenFd, ServiceCore& core, std::ostream& log, Limits limits, SystemEvents* events,
                             PolkitAuthority* authority, MetricsEndpoint* metrics)
    : listenFd_(listenFd),
      core_(core),
      log_(log),
      limits_(limits),
      events_(events),
      authority_(authority),
      metrics_(metrics) {}

void ServiceServer::Log(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) log_ << "pyxtuned: " << line << std::endl;
}

void ServiceServer::Schedule(const std::vector<SystemEvents::Event>& events) {
    for (const SystemEvents::Event event : events) {
        const char* occasion = event == SystemEvents::Event::Resumed         ? "after a resume"
                               : event == SystemEvents::Event::DriverChanged ? "after a driver change"
                                                                              : kDeviceRemoved;
        if (reapplyOccasion_.find(occasion) == std::string::npos)
            reapplyOccasion_ += (reapplyOccasion_.empty() ? "" : " and ") + std::string(occasion);
        if (!reapplyAt_) reapplyAt_ = Clock::now() + limits_.settle;
    }
}

ServiceServer::~ServiceServer() {
    for (Connection& c : connections_)
        if (c.fd >= 0) ::close(c.fd);
    ::close(listenFd_);
}

bool ServiceServer::Run() {
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    const int signals = ::signalfd(-1, &stopSignals, SFD_CLOEXEC | SFD_NONBLOCK);
    if (signals < 0) {
        log_ << "pyxtuned: no signal descriptor: " << std::strerror(errno) << std::endl;
        return false;
    }
    auto nextTick = Clock::now() + limits_.tick;
    bool ok = true;
    for (;;) {
        std::vector<pollfd> polled;
        polled.push_back({signals, POLLIN, 0});
        // At the connection limit new clients wait in the listen queue.
        polled.push_back({listenFd_, static_cast<short>(connections_.size() < limits_.maxConnections ? POLLIN : 0), 0});
        // Idle, nothing to watch, the service sleeps until something arrives.
        const bool ticking = core_.NeedsTicks();
        if (!ticking) nextTick = Clock::now() + limits_.tick;
        auto wake = ticking ? nextTick : Clock::time_point::max();
        const std::vector<pollfd> eventFds = events_ != nullptr ? events_->PollSet() : std::vector<pollfd>{};
        polled.insert(polled.end(), eventFds.begin(), eventFds.end());
        if (const int busMs = events_ != nullptr ? events_->BusTimeoutMs() : -1; busMs >= 0)
            wake = std::min(wake, Clock::now() + std::chrono::milliseconds(busMs));
        const std::size_t authorityAt = polled.size();
        if (authority_ != nullptr) {
            polled.push_back(authority_->PollFd());
            if (const int ms = authority_->TimeoutMs(); ms >= 0)
                wake = std::min(wake, Clock::now() + std::chrono::milliseconds(ms));
        }
        if (reapplyAt_) wake = std::min(wake, *reapplyAt_);
        const std::size_t metricsAt = polled.size();
        if (metrics_ != nullptr) {
            metrics_->AddPollFds(polled);
            if (const int ms = metrics_->TimeoutMs(); ms >= 0)
                wake = std::min(wake, Clock::now() + std::chrono::milliseconds(ms));
        }
        const std::size_t firstConnection = polled.size();
        for (const Connection& c : connections_) {
            short events = 0;
            if (!c.closing && c.out.size() < kMaxUnsentBytes) events |= POLLIN;
            if (!c.out.empty()) events |= POLLOUT;
            polled.push_back({c.fd, events, 0});
            if (c.deadline) wake = std::min(wake, *c.deadline);
        }
        int timeoutMs = -1;
        if (wake != Clock::time_point::max()) {
            const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(wake - Clock::now()).count();
            timeoutMs = static_cast<int>(std::clamp<int64_t>(wait + 1, 0, 3600000));
        }
        const int ready = ::poll(polled.data(), polled.size(), timeoutMs);
        if (ready < 0 && errno != EINTR) {
            log_ << "pyxtuned: poll: " << std::strerror(errno) << std::endl;
            ok = false;
            break;
        }
        if (polled[0].revents & POLLIN) {
            signalfd_siginfo info{};
            (void)!::read(signals, &info, sizeof info);
            log_ << "pyxtuned: " << (info.ssi_signo == SIGINT ? "SIGINT" : "SIGTERM") << ": ending" << std::endl;
            break;
        }
        bool eventArrived = false;
        for (std::size_t i = 2; i < authorityAt; ++i) eventArrived = eventArrived || polled[i].revents != 0;
        if (eventArrived) Schedule(events_->Read());
        // Its answers fill the waiting connections' replies, sent below with the rest.
        if (authority_ != nullptr) authority_->Process();
        if (metrics_ != nullptr) metrics_->Process(&polled[metricsAt], firstConnection - metricsAt);
        std::size_t index = firstConnection;
        for (auto it = connections_.begin(); it != connections_.end(); ++index) {
            Connection& c = *it;
            const short revents = polled[index].revents;
            bool keep = true;
            if (revents & (POLLIN | POLLHUP | POLLERR)) keep = Receive(c);
            if (keep && (revents & POLLOUT)) keep = Send(c);
            if (keep && c.closing && c.out.empty()) {
                Close(c, nullptr);
                keep = false;
            }
            if (keep && c.deadline && Clock::now() >= *c.deadline) {
                Close(c, "its request or reply did not move within the deadline");
                keep = false;
            }
            it = keep ? std::next(it) : connections_.erase(it);
        }
        if (polled[1].revents & POLLIN) Accept();
        if (reapplyAt_ && Clock::now() >= *reapplyAt_) {
            // A GPU plugged in (or gone) is taken up by a start anew, which puts the settings back
            // on every card; the unit restarts a service that ends so.
            const bool removedOnly = reapplyOccasion_ == kDeviceRemoved;
            if (reapplyOccasion_.find("driver") != std::string::npos || reapplyOccasion_.find(kDeviceRemoved) != std::string::npos)
                if (const auto changed = core_.GpusChanged()) {
                    Log({*changed + " " + reapplyOccasion_ + ": it ends, to be started anew with them"});
                    gpusChanged_ = true;
                    break;
                }
            // A device gone with the GPUs all still there (a driver's unload, whose "add" comes
            // back with its own put-back) leaves the cards as they are.
            if (!removedOnly) Log(core_.Reapply(reapplyOccasion_));
            reapplyAt_.reset();
            reapplyOccasion_.clear();
        }
        if (ticking && Clock::now() >= nextTick) {
            Log(core_.Tick());
            // On the second's grid rather than a second after this tick: the history then
            // gets one sample a second, not one that slips a little later each time.
            nextTick += limits_.tick;
            if (nextTick <= Clock::now()) nextTick = Clock::now() + limits_.tick;
        }
    }
    ::close(signals);
    return ok;
}

void ServiceServer::Accept() {
    for (;;) {
        if (connections_.size() >= limits_.maxConnections) return;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) return;  // EAGAIN: none left; anything else: the client went away
        Connection c;
        c.fd = fd;
        c.id = nextId_++;
        c.peer = ReadPeer(fd);
        connections_.push_back(std::move(c));
    }
}

bool ServiceServer::Receive(Connection& c) {
    char buffer[8192];
    const ssize_t n = ::recv(c.fd, buffer, sizeof buffer, 0);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
        Close(c, nullptr);
        return false;
    }
    if (n < 0) return true;
    c.in.append(buffer, static_cast<std::size_t>(n));
    ProcessLines(c);
    if (c.in.size() > kMaxRequestBytes) {
        // Its end may never come: answer once and close rather than read on.
        c.in.clear();
        c.out += ServiceProtocol::Refusal(ServiceError::TooLarge, "a request is at most " +
                                                                      std::to_string(kMaxRequestBytes) + " bytes")
                     .dump();
        c.out += '\n';
        c.closing = true;
    }
    if (c.in.empty() && c.out.empty() && !c.parked)
        c.deadline.reset();
    else if (!c.deadline)
        c.deadline = Clock::now() + limits_.deadline;
    return Send(c);
}

void ServiceServer::ProcessLines(Connection& c) {
    std::size_t start = 0;
    for (std::size_t newline; !c.parked && (newline = c.in.find('\n', start)) != std::string::npos;
         start = newline + 1) {
        std::string_view line(c.in.data() + start, newline - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!line.empty()) Dispatch(c, line);
    }
    c.in.erase(0, start);
    // A request answered is progress: the next one starts its own deadline.
    if (start > 0 && !c.parked) c.deadline.reset();
}

void ServiceServer::Dispatch(Connection& c, std::string_view line) {
    auto parsed = ServiceProtocol::Parse(line);
    if (const auto* refusal = std::get_if<ProtocolRefusal>(&parsed)) {
        c.out += ServiceProtocol::Refusal(refusal->error, refusal->message).dump() + "\n";
        return;
    }
    const ServiceRequest request = std::get<ServiceRequest>(parsed);
    const AccessDecision access = core_.Authorize(request, c.peer);
    if (access.allowed || access.authorityAction.empty() || authority_ == nullptr) {
        c.out += core_.Handle(request, c.peer, c.id).dump() + "\n";
        return;
    }
    const ConnectionId id = c.id;
    const PeerCredentials peer = c.peer;
    const std::string refused = access.message;
    std::string why;
    const bool asked = authority_->Check(peer, access.authorityAction, [this, id, peer, request, refused](
                                                                          bool allowed, const std::string& answer) {
        const auto it = std::find_if(connections_.begin(), connections_.end(),
                                     [&](const Connection& k) { return k.id == id && k.fd >= 0; });
        if (it == connections_.end()) return;  // the client went away while it was asked
        it->out += (allowed ? core_.Handle(request, peer, id, /*grantedElsewhere=*/true)
                            : ServiceProtocol::Refusal(ServiceError::Denied, refused + " (" + answer + ")"))
                       .dump() +
                   "\n";
        it->parked = false;
        it->deadline = Clock::now() + limits_.deadline;
        ProcessLines(*it);
    }, why);
    if (!asked) {
        c.out += ServiceProtocol::Refusal(ServiceError::Denied, refused + " (" + why + ")").dump() + "\n";
        return;
    }
    // The user may be typing a password meanwhile.
    c.parked = true;
    c.deadline = Clock::now() + std::chrono::seconds(PolkitAuthority::kCheckTimeoutS + 5);
}

bool ServiceServer::Send(Connection& c) {
    while (!c.out.empty()) {
        const ssize_t n = ::send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR) return true;
            Close(c, nullptr);
            return false;
        }
        c.out.erase(0, static_cast<std::size_t>(n));
        // Progress moves the deadline: a slow reader of a long reply is not a stalled one. A
        // request waiting for the authority keeps its own, longer one.
        if (!c.parked) c.deadline = Clock::now() + limits_.deadline;
    }
    if (c.in.empty() && !c.parked) c.deadline.reset();
    return true;
}

void ServiceServer::Close(Connection& c, const char* why) {
    if (why != nullptr) log_ << "pyxtuned: closed the connection of " << c.peer.userName << ": " << why << std::endl;
    ::close(c.fd);
    c.fd = -1;
    Log(core_.ConnectionClosed(c.id));
}

}  // namespace pyx
