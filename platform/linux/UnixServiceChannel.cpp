#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/ServiceChannel.h"

namespace pyx {

namespace {

// How often a program that waits on the service gets a turn: often enough for its window to
// repaint smoothly, rarely enough to cost nothing.
constexpr std::chrono::milliseconds kWaitingSlice{40};

class UnixServiceChannel final : public ServiceChannel {
public:
    explicit UnixServiceChannel(int fd) : fd_(fd) {}
    ~UnixServiceChannel() override { ::close(fd_); }
    UnixServiceChannel(const UnixServiceChannel&) = delete;
    UnixServiceChannel& operator=(const UnixServiceChannel&) = delete;

    std::optional<std::string> Exchange(std::string_view line, std::chrono::milliseconds deadline,
                                        std::string& why) override {
        const auto start = std::chrono::steady_clock::now();
        const auto end = start + deadline;
        std::string out(line);
        out += '\n';
        std::size_t sent = 0;
        while (sent < out.size()) {
            if (!Wait(POLLOUT, start, end, why)) return std::nullopt;
            const ssize_t n = ::send(fd_, out.data() + sent, out.size() - sent, MSG_NOSIGNAL);
            if (n < 0 && errno != EINTR && errno != EAGAIN) return Failed("sending to the service", why);
            if (n > 0) sent += static_cast<std::size_t>(n);
        }
        for (;;) {
            if (const auto newline = pending_.find('\n'); newline != std::string::npos) {
                std::string reply = pending_.substr(0, newline);
                pending_.erase(0, newline + 1);
                return reply;
            }
            if (!Wait(POLLIN, start, end, why)) return std::nullopt;
            char buffer[4096];
            const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
            if (n == 0) {
                closed_ = true;
                why = "the service closed the connection";
                return std::nullopt;
            }
            if (n < 0 && errno != EINTR && errno != EAGAIN) return Failed("reading from the service", why);
            if (n > 0) pending_.append(buffer, static_cast<std::size_t>(n));
        }
    }

    bool Closed() const override { return closed_; }

private:
    bool Wait(short events, std::chrono::steady_clock::time_point start, std::chrono::steady_clock::time_point end,
              std::string& why) const {
        using std::chrono::milliseconds;
        for (;;) {
            const auto now = std::chrono::steady_clock::now();
            const auto left = std::chrono::duration_cast<milliseconds>(end - now);
            if (left.count() <= 0) {
                why = "the service did not answer in time";
                return false;
            }
            pollfd p{fd_, events, 0};
            const milliseconds slice = whileWaiting_ ? std::min(left, kWaitingSlice) : left;
            const int n = ::poll(&p, 1, static_cast<int>(slice.count()));
            if (n > 0) return true;
            if (n == 0 && whileWaiting_)
                whileWaiting_(std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start));
            if (n < 0 && errno != EINTR) {
                why = std::string("waiting for the service: ") + std::strerror(errno);
                return false;
            }
        }
    }
    std::optional<std::string> Failed(const char* doing, std::string& why) {
        closed_ = true;
        why = std::string(doing) + ": " + std::strerror(errno);
        return std::nullopt;
    }

    int fd_;
    std::string pending_;  // what came after the last reply's newline
    bool closed_ = false;
};

}  // namespace

std::string DefaultServiceAddress() { return "/run/pyxtune/pyxtuned.sock"; }

std::unique_ptr<ServiceChannel> ConnectToService(const std::string& address, std::string& why) {
    sockaddr_un name{};
    name.sun_family = AF_UNIX;
    if (address.empty() || address.size() >= sizeof name.sun_path) {
        why = "\"" + address + "\" is not a socket path";
        return nullptr;
    }
    std::memcpy(name.sun_path, address.data(), address.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        why = std::string("no socket: ") + std::strerror(errno);
        return nullptr;
    }
    // A Unix socket connects at once or not at all: without a wait here a stalled service
    // whose queue is full (EAGAIN) cannot hang the client.
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&name), sizeof name) != 0) {
        why = address + ": " + (errno == EAGAIN ? std::string("the service is busy") : std::strerror(errno));
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<UnixServiceChannel>(fd);
}

}  // namespace pyx
