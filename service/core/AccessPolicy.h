#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "service/core/ServiceRequest.h"

namespace pyx {

// Who is on the other end of a connection, as the operating system says (never as the client
// says): on Linux the socket's peer credentials.
struct PeerCredentials {
    uint32_t uid = 0;
    uint32_t gid = 0;
    int32_t pid = 0;
    std::vector<uint32_t> groups;  // supplementary groups at connect time
    std::string userName;          // for messages; the uid in digits when it has no name
};

struct AccessDecision {
    bool allowed = false;
    std::string message;  // when refused: what is missing, and how to get it
    // When refused: the action the system's authority (polkit) may still grant, for instance
    // after an administrator's password; empty when nobody else may.
    std::string authorityAction;
};

// Decides per class of request; the front-end of each platform has its own.
class AccessPolicy {
public:
    virtual ~AccessPolicy() = default;
    virtual AccessDecision Decide(const PeerCredentials& peer, AccessClass access) const = 0;
};

}  // namespace pyx
