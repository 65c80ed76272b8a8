#pragma once
#include <poll.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sd_bus;

namespace pyx {

// What the system says that makes the service put the settings back: the end of a suspend
// (logind's PrepareForSleep(false) on the system bus; the driver forgets clock offsets in a
// suspend) and a GPU's driver loaded again or a GPU plugged in (the kernel's drm uevents). Both
// arrive through descriptors the server's loop polls. A drm device taken away is said too: a
// GPU unplugged leaves the service with one card fewer than it started with.
class SystemEvents {
public:
    enum class Event : uint8_t { Resumed, DriverChanged, DeviceRemoved };

    // Either source may be missing (a container without a system bus): each one missing is
    // named in `notes`, and the other still works.
    static std::unique_ptr<SystemEvents> Open(std::vector<std::string>& notes);
    ~SystemEvents();
    SystemEvents(const SystemEvents&) = delete;
    SystemEvents& operator=(const SystemEvents&) = delete;

    // The descriptors to poll now, and the longest wait the bus allows (-1: any).
    std::vector<pollfd> PollSet() const;
    int BusTimeoutMs() const;
    // After a poll: what arrived since the last call.
    std::vector<Event> Read();

    // What a kernel uevent (its datagram) says of the GPUs: DriverChanged for a driver come
    // (back), an "add" of the drm subsystem or a "change" that is not a monitor's hot-plug;
    // DeviceRemoved for a drm "remove"; none for anything else.
    static std::optional<Event> DriverEvent(std::string_view uevent);

private:
    SystemEvents() = default;
    static int OnSleepSignal(void* message, void* self, void* error);

    sd_bus* bus_ = nullptr;
    int uevents_ = -1;
    std::vector<Event> arrived_;
};

}  // namespace pyx
