#include "service/linux/PolkitAuthority.h"

#include <systemd/sd-bus.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "service/linux/BusTimeout.h"

namespace pyx {

namespace {

constexpr uint32_t kAllowUserInteraction = 1;

// The process's start time in clock ticks since boot, field 22 of /proc/PID/stat; 0 when the
// process is gone.
uint64_t StartTime(int32_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    const auto close = text.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    for (int i = 3; fields >> field; ++i)
        if (i == 22) return std::stoull(field);
    return 0;
}

struct Pending {
    PolkitAuthority::Done done;
};

int OnReply(sd_bus_message* reply, void* userdata, sd_bus_error*) {
    std::unique_ptr<Pending> pending(static_cast<Pending*>(userdata));
    if (sd_bus_message_is_method_error(reply, nullptr)) {
        const sd_bus_error* error = sd_bus_message_get_error(reply);
        pending->done(false, std::string("polkit did not answer: ") + (error && error->message ? error->message : "error"));
        return 0;
    }
    int authorized = 0, challenge = 0;
    if (sd_bus_message_enter_container(reply, 'r', "bba{ss}") < 0 ||
        sd_bus_message_read(reply, "bb", &authorized, &challenge) < 0) {
        pending->done(false, "polkit's answer could not be read");
        return 0;
    }
    pending->done(authorized != 0, authorized ? "" : "polkit did not authorise it (no administrator's password given)");
    return 0;
}

}  // namespace

std::unique_ptr<PolkitAuthority> PolkitAuthority::Open(std::string& why) {
    auto authority = std::unique_ptr<PolkitAuthority>(new PolkitAuthority());
    if (const int r = sd_bus_open_system(&authority->bus_); r < 0) {
        authority->bus_ = nullptr;
        why = std::string("no system bus for polkit: ") + std::strerror(-r);
        return nullptr;
    }
    return authority;
}

PolkitAuthority::~PolkitAuthority() {
    if (bus_ != nullptr) sd_bus_flush_close_unref(bus_);
}

bool PolkitAuthority::Check(const PeerCredentials& peer, const std::string& action, Done done, std::string& why) {
    const uint64_t started = StartTime(peer.pid);
    if (peer.pid <= 0 || started == 0) {
        why = "the client's process is gone";
        return false;
    }
    sd_bus_message* call = nullptr;
    int r = sd_bus_message_new_method_call(bus_, &call, "org.freedesktop.PolicyKit1", "/org/freedesktop/PolicyKit1/Authority",
                                           "org.freedesktop.PolicyKit1.Authority", "CheckAuthorization");
    // subject (sa{sv}): a unix process by pid, start time and uid.
    if (r >= 0) r = sd_bus_message_open_container(call, 'r', "sa{sv}");
    if (r >= 0) r = sd_bus_message_append(call, "s", "unix-process");
    if (r >= 0)
        r = sd_bus_message_append(call, "a{sv}", 3, "pid", "u", static_cast<uint32_t>(peer.pid), "start-time", "t",
                                  started, "uid", "i", static_cast<int32_t>(peer.uid));
    if (r >= 0) r = sd_bus_message_close_container(call);
    if (r >= 0) r = sd_bus_message_append(call, "sa{ss}us", action.c_str(), 0, kAllowUserInteraction, "");
    auto pending = std::make_unique<Pending>(Pending{std::move(done)});
    if (r >= 0)
        r = sd_bus_call_async(bus_, nullptr, call, OnReply, pending.get(),
                              static_cast<uint64_t>(kCheckTimeoutS) * 1000000);
    sd_bus_message_unref(call);
    if (r < 0) {
        why = std::string("polkit could not be asked: ") + std::strerror(-r);
        return false;
    }
    pending.release();  // OnReply owns it now; the bus calls it once, with an error on timeout
    return true;
}

pollfd PolkitAuthority::PollFd() const {
    const int events = sd_bus_get_events(bus_);
    return {sd_bus_get_fd(bus_), static_cast<short>(events > 0 ? events : POLLIN), 0};
}

int PolkitAuthority::TimeoutMs() const { return BusTimeoutMs(bus_); }

void PolkitAuthority::Process() {
    while (sd_bus_process(bus_, nullptr) > 0) {
    }
}

}  // namespace pyx
