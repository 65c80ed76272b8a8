#pragma once
#include <string>

namespace pyx {

// The service's listening socket: the one systemd passes in (socket activation) or one bound
// at a path of its own.
class ServiceListener {
public:
    // The socket systemd handed over; -1 when it handed none. An unusable handover (several
    // sockets, or not a listening stream socket) is -1 with why set.
    static int FromSystemd(std::string& why);

    // A listening socket bound at `path`, reachable by every local user (each request is
    // authorised on its own). A socket file that nobody listens on any more (a service that
    // was killed) is removed first; a live one, or anything at the path that is not a socket,
    // is left alone and refused: -1 with why.
    static int Bind(const std::string& path, std::string& why);
};

}  // namespace pyx
