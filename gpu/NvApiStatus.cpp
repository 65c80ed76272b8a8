#include "gpu/NvApiStatus.h"

namespace pyx {

std::string StatusText(NvStatus status) {
    const std::string number = "status " + std::to_string(status);
    return status == kNvNoPermission ? std::string(kNeedsAdministratorRights) + ", " + number : number;
}

}  // namespace pyx
