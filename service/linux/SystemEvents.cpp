#include "service/linux/SystemEvents.h"

#include <linux/netlink.h>
#include <sys/socket.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "service/linux/BusTimeout.h"

namespace pyx {

namespace {

constexpr unsigned kKernelUeventGroup = 1;

}  // namespace

std::unique_ptr<SystemEvents> SystemEvents::Open(std::vector<std::string>& notes) {
    auto events = std::unique_ptr<SystemEvents>(new SystemEvents());
    if (int r = sd_bus_open_system(&events->bus_); r < 0) {
        events->bus_ = nullptr;
        notes.push_back(std::string("no system bus (") + std::strerror(-r) +
                        "): the settings are not put back after a resume");
    } else if (r = sd_bus_match_signal(events->bus_, nullptr, "org.freedesktop.login1", "/org/freedesktop/login1",
                                       "org.freedesktop.login1.Manager", "PrepareForSleep",
                                       reinterpret_cast<sd_bus_message_handler_t>(&SystemEvents::OnSleepSignal),
                                       events.get());
               r < 0) {
        notes.push_back(std::string("logind's sleep signal cannot be watched (") + std::strerror(-r) +
                        "): the settings are not put back after a resume");
        events->bus_ = sd_bus_flush_close_unref(events->bus_);
    }
    events->uevents_ = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_KOBJECT_UEVENT);
    sockaddr_nl address{};
    address.nl_family = AF_NETLINK;
    address.nl_groups = kKernelUeventGroup;
    if (events->uevents_ < 0 ||
        ::bind(events->uevents_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        notes.push_back(std::string("the kernel's device events cannot be watched (") + std::strerror(errno) +
                        "): the settings are not put back after a driver reload");
        if (events->uevents_ >= 0) ::close(events->uevents_);
        events->uevents_ = -1;
    }
    return events;
}

SystemEvents::~SystemEvents() {
    if (bus_ != nullptr) sd_bus_flush_close_unref(bus_);
    if (uevents_ >= 0) ::close(uevents_);
}

std::vector<pollfd> SystemEvents::PollSet() const {
    std::vector<pollfd> set;
    if (bus_ != nullptr) {
        const int events = sd_bus_get_events(bus_);
        set.push_back({sd_bus_get_fd(bus_), static_cast<short>(events > 0 ? events : POLLIN), 0});
    }
    if (uevents_ >= 0) set.push_back({uevents_, POLLIN, 0});
    return set;
}

int SystemEvents::BusTimeoutMs() const { return pyx::BusTimeoutMs(bus_); }

std::vector<SystemEvents::Event> SystemEvents::Read() {
    if (bus_ != nullptr)
        while (sd_bus_process(bus_, nullptr) > 0) {
        }
    if (uevents_ >= 0) {
        char buffer[8192];
        for (ssize_t n; (n = ::recv(uevents_, buffer, sizeof buffer, 0)) > 0;)
            if (const auto event = DriverEvent(std::string_view(buffer, static_cast<size_t>(n))))
                arrived_.push_back(*event);
    }
    std::vector<Event> events;
    events.swap(arrived_);
    return events;
}

int SystemEvents::OnSleepSignal(void* message, void* self, void*) {
    int goingToSleep = 0;
    if (sd_bus_message_read(static_cast<sd_bus_message*>(message), "b", &goingToSleep) >= 0 && goingToSleep == 0)
        static_cast<SystemEvents*>(self)->arrived_.push_back(Event::Resumed);
    return 0;
}

std::optional<SystemEvents::Event> SystemEvents::DriverEvent(std::string_view uevent) {
    // "ACTION@DEVPATH", then KEY=VALUE fields, each ended by a NUL.
    bool drm = false;
    bool hotplug = false;
    std::string_view action;
    for (size_t start = 0; start < uevent.size();) {
        size_t end = uevent.find('\0', start);
        if (end == std::string_view::npos) end = uevent.size();
        const std::string_view field = uevent.substr(start, end - start);
        if (field == "SUBSYSTEM=drm") drm = true;
        if (field == "HOTPLUG=1") hotplug = true;
        if (field.substr(0, 7) == "ACTION=") action = field.substr(7);
        start = end + 1;
    }
    if (!drm) return std::nullopt;
    if (action == "add" || (action == "change" && !hotplug)) return Event::DriverChanged;
    if (action == "remove") return Event::DeviceRemoved;
    return std::nullopt;
}

}  // namespace pyx
