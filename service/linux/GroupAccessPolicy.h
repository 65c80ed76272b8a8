#pragma once
#include <optional>
#include <string>

#include "service/core/AccessPolicy.h"

namespace pyx {

// Linux's rule: every local user reads; root and the members of one group (pyxtune) light and
// tune; anyone else may be granted it by polkit (org.pyxtune.tune, org.pyxtune.lighting). Membership is the peer's own supplementary groups at connect time, as the kernel gave
// them to the socket, never the group database's opinion of the user at some other moment.
class GroupAccessPolicy final : public AccessPolicy {
public:
    // A group this machine does not have leaves lighting and tuning to root.
    explicit GroupAccessPolicy(std::string groupName);

    AccessDecision Decide(const PeerCredentials& peer, AccessClass access) const override;

private:
    std::string groupName_;
    std::optional<uint32_t> gid_;
};

}  // namespace pyx
