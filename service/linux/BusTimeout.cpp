#include "service/linux/BusTimeout.h"

#include <systemd/sd-bus.h>
#include <time.h>

#include <cstdint>

namespace pyx {

int BusTimeoutMs(sd_bus* bus) {
    uint64_t usec = 0;
    if (bus == nullptr || sd_bus_get_timeout(bus, &usec) <= 0 || usec == UINT64_MAX) return -1;
    // sd-bus gives an absolute CLOCK_MONOTONIC time.
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t nowUsec = static_cast<uint64_t>(now.tv_sec) * 1000000 + static_cast<uint64_t>(now.tv_nsec) / 1000;
    return usec <= nowUsec ? 0 : static_cast<int>((usec - nowUsec + 999) / 1000);
}

}  // namespace pyx
