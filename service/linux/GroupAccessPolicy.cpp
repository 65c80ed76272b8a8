#include "service/linux/GroupAccessPolicy.h"

#include <grp.h>

#include <algorithm>
#include <vector>

namespace pyx {

GroupAccessPolicy::GroupAccessPolicy(std::string groupName) : groupName_(std::move(groupName)) {
    std::vector<char> buffer(16384);
    group entry{};
    group* found = nullptr;
    if (::getgrnam_r(groupName_.c_str(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr)
        gid_ = found->gr_gid;
}

AccessDecision GroupAccessPolicy::Decide(const PeerCredentials& peer, AccessClass access) const {
    if (access == AccessClass::Read || peer.uid == 0) return {true, {}, {}};
    if (gid_ && (peer.gid == *gid_ || std::find(peer.groups.begin(), peer.groups.end(), *gid_) != peer.groups.end()))
        return {true, {}, {}};
    const std::string what = access == AccessClass::Lighting ? "lighting" : "tuning";
    const std::string action = "org.pyxtune." + std::string(access == AccessClass::Lighting ? "lighting" : "tune");
    if (!gid_)
        return {false,
                "Changing the card's " + what + " needs root or an administrator's password: this machine has no group " +
                    groupName_ + " (reinstalling the Pyxtune package makes it)",
                action};
    return {false,
            "Changing the card's " + what + " needs membership of the group " + groupName_ +
                " or an administrator's password: sudo adduser " + peer.userName + " " + groupName_ + " (then log in again)",
            action};
}

}  // namespace pyx
