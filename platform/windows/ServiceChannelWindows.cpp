#include "platform/ServiceChannel.h"

namespace pyx {

// On Windows the program runs elevated and owns the cards itself; no service answers yet.
std::string DefaultServiceAddress() { return {}; }

std::unique_ptr<ServiceChannel> ConnectToService(const std::string&, std::string& why) {
    why = "no Pyxtune service on this system";
    return nullptr;
}

}  // namespace pyx
