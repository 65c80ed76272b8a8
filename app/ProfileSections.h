#pragma once
#include <vector>

#include "app/CIni.h"
#include "service/core/ServiceRequest.h"

namespace pyx {

// A profile file as a client sends it to the service that owns the cards: the service reads the
// values as it reads its own file, the client only passes them on.
class ProfileSections {
public:
    // The file's sections with their keys and values as read, in the file's order.
    static std::vector<ProfileSection> Of(const CIni& ini);
    // Whether a clock offset in them is above zero: the overclocking warning is asked first.
    static bool Overclock(const std::vector<ProfileSection>& sections);
};

}  // namespace pyx
