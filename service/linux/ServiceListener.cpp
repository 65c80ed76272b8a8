#include "service/linux/ServiceListener.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <systemd/sd-daemon.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace pyx {

namespace {

std::string Error(const std::string& what) { return what + ": " + std::strerror(errno); }

bool MakeAddress(const std::string& path, sockaddr_un& name, std::string& why) {
    name = {};
    name.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof name.sun_path) {
        why = "\"" + path + "\" cannot name a socket (at most " + std::to_string(sizeof name.sun_path - 1) + " bytes)";
        return false;
    }
    std::memcpy(name.sun_path, path.data(), path.size());
    return true;
}

// Whether a process accepts connections on the socket file at `name`.
bool SomeoneListens(const sockaddr_un& name) {
    const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (probe < 0) return false;
    const bool listens = ::connect(probe, reinterpret_cast<const sockaddr*>(&name), sizeof name) == 0 ||
                         errno == EAGAIN;  // a queue full of waiting clients is a live service too
    ::close(probe);
    return listens;
}

}  // namespace

int ServiceListener::FromSystemd(std::string& why) {
    const int count = sd_listen_fds(/*unset_environment=*/1);
    if (count == 0) return -1;
    if (count < 0) {
        why = std::string("the sockets systemd passed cannot be used: ") + std::strerror(-count);
        return -1;
    }
    const int fd = SD_LISTEN_FDS_START;
    if (count != 1 || sd_is_socket_unix(fd, SOCK_STREAM, /*listening=*/1, nullptr, 0) <= 0) {
        why = "systemd passed " + std::to_string(count) +
              " socket(s); the service takes one listening Unix stream socket (pyxtuned.socket)";
        return -1;
    }
    // systemd passes the socket blocking; the loop accepts until nobody is left waiting, which
    // on a blocking socket waits for the next client and answers nobody meanwhile.
    if (const int flags = ::fcntl(fd, F_GETFL); flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) {
        why = std::string("the socket systemd passed cannot be made non-blocking: ") + std::strerror(errno);
        return -1;
    }
    return fd;
}

int ServiceListener::Bind(const std::string& path, std::string& why) {
    sockaddr_un name;
    if (!MakeAddress(path, name, why)) return -1;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode)) {
            why = path + " exists and is not a socket; it was left alone";
            return -1;
        }
        if (SomeoneListens(name)) {
            why = "another Pyxtune service listens on " + path;
            return -1;
        }
        // Left by a service that did not end cleanly: nothing answers there.
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
            why = Error("the stale socket " + path + " could not be removed");
            return -1;
        }
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        why = Error("no socket");
        return -1;
    }
    // Every local user may connect; what each may ask for is decided per request. The mode
    // comes from the umask at bind, not from a chmod by path that a swapped-in link could
    // redirect. The service is one thread at this point, so the umask is its alone.
    const mode_t umask = ::umask(0111);
    const int bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&name), sizeof name);
    ::umask(umask);
    if (bound != 0) {
        why = Error("cannot listen on " + path);
        ::close(fd);
        return -1;
    }
    if (::listen(fd, SOMAXCONN) != 0) {
        why = Error("cannot listen on " + path);
        ::unlink(path.c_str());
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace pyx
