#pragma once

struct sd_bus;

namespace pyx {

// How long a poll may wait before the bus has work of its own (a call's timeout): in
// milliseconds, -1 for no limit, 0 for at once.
int BusTimeoutMs(sd_bus* bus);

}  // namespace pyx
