#include <fcntl.h>
#include <grp.h>
#include <linux/netlink.h>
#include <sched.h>
#include <systemd/sd-bus.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <mutex>
#include <thread>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "service/linux/SystemEvents.h"
#include "tests/cli/ProgramProcess.h"

namespace pyx {
namespace {

namespace fs = std::filesystem;
using proctest::EnvChange;
using proctest::ProgramProcess;
using proctest::RunProgram;

constexpr uint32_t kNobody = 65534;
constexpr gid_t kNogroup = 65534;  // the group the service is told to trust
constexpr gid_t kUnrelatedGid = 54321;

int Connect(const fs::path& socket) {
    sockaddr_un name{};
    name.sun_family = AF_UNIX;
    std::strncpy(name.sun_path, socket.c_str(), sizeof name.sun_path - 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&name), sizeof name) == 0) return fd;
    ::close(fd);
    return -1;
}

// What came back on fd before it closed or `limit` passed.
std::string ReadFor(int fd, std::chrono::milliseconds limit, bool untilNewline = true) {
    std::string got;
    const auto until = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < until && (!untilNewline || got.find('\n') == std::string::npos)) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        char buffer[4096];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        got.append(buffer, static_cast<size_t>(n));
    }
    return got;
}

// The service on simulated cards at a socket of the test's own, where a killed service's
// socket file lies when it starts.
class ServiceProcess : public ::testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0) GTEST_SKIP() << "the clients switch to other users, which needs root";
        fs::permissions(folder_.Path(), fs::perms::owner_all | fs::perms::others_exec | fs::perms::group_exec);
        socket_ = folder_.Path() / "pyxtuned.sock";
        LeaveStaleSocket(socket_);
        service_ = StartService();
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        for (int fd; (fd = Connect(socket_)) < 0; std::this_thread::sleep_for(std::chrono::milliseconds(20)))
            ASSERT_TRUE(std::chrono::steady_clock::now() < until && service_->Running()) << service_->Err();
    }

    static void LeaveStaleSocket(const fs::path& path) {
        sockaddr_un name{};
        name.sun_family = AF_UNIX;
        std::strncpy(name.sun_path, path.c_str(), sizeof name.sun_path - 1);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&name), sizeof name), 0);
        ::close(fd);  // the file stays, with nobody behind it
    }
    std::vector<EnvChange> Env(bool throughService) const {
        return {{"PYXTUNE_GPU_BACKEND", "sim"},
                {"PYXTUNE_SIM_STATE", (folder_.Path() / "cards.json").string()},
                {"PYXTUNE_SIM_SCENARIO", std::nullopt},
                {"PYXTUNE_SERVICE", throughService ? std::nullopt : std::optional<std::string>("off")},
                {"PYXTUNE_SERVICE_SOCKET", socket_.string()}};
    }
    // The service's system bus: none unless a test starts one, so that nothing on the machine
    // (a real polkit, a real logind) answers it.
    std::unique_ptr<ProgramProcess> StartService(const fs::path& socket = {},
                                                 proctest::Isolation isolation = proctest::Isolation::None) {
        std::vector<EnvChange> env = Env(false);
        env.push_back({"DBUS_SYSTEM_BUS_ADDRESS", busAddress_.value_or("unix:path=" + (folder_.Path() / "no-bus").string())});
        return std::make_unique<ProgramProcess>(
            PYX_PYXTUNED,
            std::vector<std::string>{"--socket", (socket.empty() ? socket_ : socket).string(), "--group", "nogroup",
                                     "--settings", (folder_.Path() / "settings").string(), "--settle-ms", "100"},
            env, folder_.Path() / ("pyxtuned" + std::to_string(++started_)), isolation);
    }
    // The socket is bound before the cards are opened; the service says when it serves.
    static bool WaitUntilServing(ProgramProcess& service) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (service.Err().find("; listening on ") == std::string::npos)
            if (std::chrono::steady_clock::now() > until || !service.Running()) return false;
            else std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return true;
    }
    // A bus of the test's own in the system bus's place (dbus-daemon's session rules: anyone may
    // own any name), for the services started after it.
    std::unique_ptr<ProgramProcess> StartPrivateBus() {
        const fs::path socket = folder_.Path() / "system_bus";
        auto bus = std::make_unique<ProgramProcess>(
            "/usr/bin/dbus-daemon",
            std::vector<std::string>{"--session", "--nofork", "--nopidfile", "--address=unix:path=" + socket.string()},
            std::vector<EnvChange>{}, folder_.Path() / "dbus");
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!fs::exists(socket) && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (fs::exists(socket)) busAddress_ = "unix:path=" + socket.string();
        return bus;
    }
    fs::path StoredSettings() const { return folder_.Path() / "settings" / "simulated" / "Preformance.txt"; }
    proctest::ProgramRun Ctl(const std::vector<std::string>& args, bool throughService = true) {
        return RunProgram(PYX_PYXTUNECTL, args, Env(throughService), folder_.Path() / "ctl");
    }
    // One request as another user, in a child that has taken the user's credentials as a
    // login would give them: the reply line.
    std::string AskAs(uid_t uid, std::vector<gid_t> groups, const std::string& line) {
        int pipeFds[2];
        if (::pipe(pipeFds) != 0) return "no pipe";
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(pipeFds[0]);
            if (::setgroups(groups.size(), groups.data()) != 0 || ::setgid(kUnrelatedGid) != 0 || ::setuid(uid) != 0)
                ::_exit(2);
            const int fd = Connect(socket_);
            const std::string request = line + "\n";
            // Seen by the service as this process's pid.
            if (fd < 0 || ::write(fd, request.data(), request.size()) != static_cast<ssize_t>(request.size())) ::_exit(3);
            const std::string reply = ReadFor(fd, std::chrono::seconds(10));
            (void)!::write(pipeFds[1], reply.data(), reply.size());
            ::_exit(0);
        }
        ::close(pipeFds[1]);
        lastAsker_ = child;
        const std::string reply = ReadFor(pipeFds[0], std::chrono::seconds(15), false);
        ::close(pipeFds[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? reply : "child failed " + std::to_string(status);
    }

    test::TempFolder folder_{"pyx-service-"};
    fs::path socket_;
    std::unique_ptr<ProgramProcess> service_;
    int started_ = 0;
    std::optional<std::string> busAddress_;
    pid_t lastAsker_ = -1;
};

// Rights come from the kernel's credentials of the peer: reading for anyone, a fan's hand-back
// for root and the trusted group's members only, with a refusal that says how to join.
TEST_F(ServiceProcess, WhoMayAskWhatIsTheKernelsWordNotTheClients) {
    struct Row {
        uid_t uid;
        std::vector<gid_t> groups;
        const char* line;
        bool ok;
        const char* says;
    } rows[] = {
        {kNobody, {}, R"({"op":"list"})", true, R"("deviceId")"},
        {kNobody, {}, R"({"op":"vf","gpu":0})", true, R"("vfPoints")"},
        {kNobody, {}, R"({"op":"fanAuto"})", false,
         "needs membership of the group nogroup or an administrator's password: sudo adduser nobody nogroup"},
        {kNobody, {kNogroup}, R"({"op":"fanAuto"})", true, R"("answers")"},
        {0, {}, R"({"op":"fanAuto","gpu":0})", true, R"("answers")"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.line) + " as uid " + std::to_string(row.uid));
        const std::string reply = AskAs(row.uid, row.groups, row.line);
        const auto doc = nlohmann::json::parse(reply, nullptr, false);
        ASSERT_TRUE(doc.is_object()) << reply;
        EXPECT_EQ(doc.value("ok", !row.ok), row.ok) << reply;
        EXPECT_NE(reply.find(row.says), std::string::npos) << reply;
    }
}

// A killed service's socket file is taken over; a live service's socket and a file that is not
// a socket are left alone, and the second service says why it did not start.
TEST_F(ServiceProcess, StaleSocketIsReplacedButNothingElseIs) {
    const fs::path plainFile = folder_.Write("not-a-socket", "keep me");
    for (const fs::path& taken : {socket_, plainFile}) {
        auto second = StartService(taken);
        ASSERT_TRUE(second->WaitFor(std::chrono::seconds(30)));
        EXPECT_EQ(second->ExitStatus(), 1);
        EXPECT_NE(second->Err().find(taken == socket_ ? "another Pyxtune service listens" : "is not a socket"),
                  std::string::npos)
            << second->Err();
    }
    EXPECT_EQ(test::FileText(plainFile), "keep me");
    EXPECT_EQ(AskAs(0, {}, R"({"op":"hello","version":3})").substr(0, 1), "{");
}

// Started by socket activation the service gets a listening socket that blocks, as systemd
// passes it; it still serves one client after another.
TEST_F(ServiceProcess, TheSocketSystemdPassesServesOneClientAfterAnother) {
    const fs::path passed = folder_.Path() / "passed.sock";
    std::vector<EnvChange> env = Env(false);
    env.push_back({"DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + (folder_.Path() / "no-bus").string()});
    ProgramProcess activated("/usr/bin/systemd-socket-activate",
                             {"-l", passed.string(), PYX_PYXTUNED, "--settings", (folder_.Path() / "passed").string()},
                             env, folder_.Path() / "activated");
    for (int client = 0; client < 3; ++client) {
        SCOPED_TRACE(client);
        int fd = -1;
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while ((fd = Connect(passed)) < 0 && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_GE(fd, 0) << activated.Err();
        const std::string hello = R"({"op":"hello","version":4})" "\n";
        ASSERT_EQ(::write(fd, hello.data(), hello.size()), static_cast<ssize_t>(hello.size()));
        EXPECT_NE(ReadFor(fd, std::chrono::seconds(10)).find(R"("ok":true)"), std::string::npos) << activated.Err();
        ::close(fd);
    }
}

// A client that stops mid-request, or sends a line without end, holds up no other client.
TEST_F(ServiceProcess, AStalledOrEndlessClientHoldsUpNobody) {
    const int stalled = Connect(socket_);
    ASSERT_EQ(::write(stalled, R"({"op":"li)", 9), 9);
    const int endless = Connect(socket_);
    const std::string chunk(70 * 1024, 'x');
    (void)!::write(endless, chunk.data(), chunk.size());
    const std::string refusal = ReadFor(endless, std::chrono::seconds(10));
    EXPECT_NE(refusal.find(R"("error":"tooLarge")"), std::string::npos) << refusal;
    EXPECT_EQ(ReadFor(endless, std::chrono::seconds(5), false), "") << "the connection stays open";
    const auto started = std::chrono::steady_clock::now();
    EXPECT_NE(AskAs(kNobody, {}, R"({"op":"monitor","gpu":0})").find(R"("reading")"), std::string::npos);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    ::close(stalled);
    ::close(endless);
}

// pyxtunectl goes through the service and says so; a fan left fixed when the service is killed
// goes back to the card with the unit's stop command.
TEST_F(ServiceProcess, ClientsSayTheServiceOwnsTheCardsAndAKilledServicesFansGoBack) {
    const auto list = Ctl({"list"});
    ASSERT_EQ(list.status, 0) << list.err;
    EXPECT_NE(list.out.find("owned by the Pyxtune service at " + socket_.string()), std::string::npos) << list.out;
    // A profile of the user's is read here and sent as values; the service applies it and keeps
    // it when told to.
    const fs::path saved = folder_.Path() / "saved.txt", profile = folder_.Path() / "profile.txt";
    ASSERT_EQ(Ctl({"profile", "save", saved.string()}, false).status, 0);
    const auto savedJson = nlohmann::json::parse(Ctl({"profile", "show", saved.string(), "--json"}).out);
    std::ofstream(profile) << "[Gpu1]\r\nId=" << savedJson.at(0).at("keys").at("Id").get<std::string>()
                           << "\r\nDyaGpuClock=40\r\nPowerTarget=100\r\n";
    const auto loaded = Ctl({"profile", "load", profile.string(), "--yes"});
    ASSERT_EQ(loaded.status, 0) << loaded.err;
    EXPECT_NE(loaded.out.find("owned by the Pyxtune service"), std::string::npos) << loaded.out;
    // A save asks the service for the cards' values and writes the user's file itself.
    const auto resaved = Ctl({"profile", "save", saved.string()});
    ASSERT_EQ(resaved.status, 0) << resaved.err;
    EXPECT_NE(resaved.out.find("owned by the Pyxtune service"), std::string::npos) << resaved.out;
    EXPECT_NE(Ctl({"profile", "show", saved.string()}).out.find("DyaGpuClock = 40"), std::string::npos);
    const auto led = Ctl({"led", "--target", "zone-main", "--mode", "static", "--color", "0000ff"});
    ASSERT_EQ(led.status, 0) << led.err;
    EXPECT_NE(led.out.find("owned by the Pyxtune service"), std::string::npos) << led.out;
    EXPECT_NE(led.out.find("GPU 0: zone-main set to static"), std::string::npos) << led.out;
    const auto vf = Ctl({"vf"});
    ASSERT_EQ(vf.status, 0) << vf.err;
    EXPECT_NE(vf.out.find("owned by the Pyxtune service"), std::string::npos) << vf.out;
    EXPECT_NE(vf.out.find("\nVF point 0: PROG, voltage-based, offset 0 kHz"), std::string::npos) << vf.out;
    const auto pin = Ctl({"apply", "custom", "--yes", "--core", "0", "--mem", "0", "--power", "100", "--fan", "60"}, false);
    ASSERT_EQ(pin.status, 0) << pin.err;
    const auto shown = [&] { return Ctl({"fan", "show", "--json"}).out; };
    ASSERT_NE(shown().find(R"("mode": "manual")"), std::string::npos) << shown();

    service_->Kill();
    const auto handBack = RunProgram(PYX_PYXTUNED, {"--hand-back-fans"}, Env(false), folder_.Path() / "stop");
    EXPECT_EQ(handBack.status, 0) << handBack.err;
    const auto after = Ctl({"fan", "show", "--json"}, false);
    EXPECT_EQ(after.out.find(R"("mode": "manual")"), std::string::npos) << after.out;
    EXPECT_NE(after.out.find(R"("mode": "automatic")"), std::string::npos) << after.out;
}

}  // namespace
}  // namespace pyx

namespace pyx {
namespace {

// pyxtunectl's apply goes through the service: a change kept is stored as the machine's, one
// outside the card's range is refused before anything reaches a card.
TEST_F(ServiceProcess, ApplyThroughTheServiceIsCheckedThereAndWhatIsKeptIsStored) {
    struct Row {
        std::vector<std::string> args;
        int status;
        const char* says;  // on standard error, or standard output for status 0
        bool stored;
    } rows[] = {
        {{"apply", "custom", "--core", "99999", "--mem", "0", "--power", "100", "--fan", "50", "--yes"}, 2,
         "core: 99999 MHz is outside GPU 0's range", false},
        {{"apply", "extreme", "--yes"}, 0, "owned by the Pyxtune service", true},
        {{"led", "--keep-running", "maybe"}, 2, "--keep-running: \"maybe\" is not accepted", true},
        {{"led", "--keep-running", "no"}, 0, "stops the lighting's effects when the program that ordered them ends", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args[1]);
        const auto run = Ctl(row.args);
        EXPECT_EQ(run.status, row.status) << run.err;
        EXPECT_NE((row.status == 0 ? run.out : run.err).find(row.says), std::string::npos) << run.out << run.err;
        EXPECT_EQ(fs::exists(StoredSettings()), row.stored);
    }
    EXPECT_NE(test::FileText(StoredSettings().parent_path() / "Service.json").find("\"keepLighting\": false"),
              std::string::npos);
}

// The end of a suspend (logind's signal on the system bus) and a GPU's driver coming back (the
// kernel's drm event) each put the stored settings back once. The service runs in a network
// namespace of its own, so the kernel event the test makes reaches nobody else on the machine,
// and on a system bus of the test's own.
TEST_F(ServiceProcess, AResumeAndADriverChangeEachPutTheSettingsBackOnce) {
    ASSERT_EQ(Ctl({"apply", "extreme", "--yes"}).status, 0);
    ASSERT_TRUE(fs::exists(StoredSettings()));
    service_->Kill();

    const auto bus = StartPrivateBus();
    ASSERT_TRUE(busAddress_) << bus->Err();
    const std::string busAddress = *busAddress_;
    service_ = StartService({}, proctest::Isolation::OwnInstanceLock);
    ASSERT_TRUE(service_->IsolationError().empty()) << service_->IsolationError();
    ASSERT_TRUE(WaitUntilServing(*service_)) << service_->Err();

    const auto count = [&](const std::string& text) {
        const std::string log = service_->Err();
        size_t n = 0;
        for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) ++n;
        return n;
    };
    const auto awaitOnce = [&](const std::string& text) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (count(text) == 0 && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::this_thread::sleep_for(std::chrono::milliseconds(500));  // a second one would be in by now
        return count(text);
    };
    EXPECT_EQ(count("the settings were put back at the service's start"), 1u) << service_->Err();

    // logind's PrepareForSleep(false), sent under logind's name.
    sd_bus* sender = nullptr;
    ASSERT_GE(sd_bus_new(&sender), 0);
    ASSERT_GE(sd_bus_set_address(sender, busAddress.c_str()), 0);
    ASSERT_GE(sd_bus_set_bus_client(sender, 1), 0);
    ASSERT_GE(sd_bus_start(sender), 0);
    ASSERT_GE(sd_bus_request_name(sender, "org.freedesktop.login1", 0), 0);
    ASSERT_GE(sd_bus_emit_signal(sender, "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                                 "PrepareForSleep", "b", 0),
              0);
    sd_bus_flush(sender);
    EXPECT_EQ(awaitOnce("the settings were put back after a resume"), 1u) << service_->Err();
    sd_bus_flush_close_unref(sender);

    // A drm card's event as the kernel announces it, inside the service's namespace.
    const auto announce = [&](const std::string& action) {
        const pid_t child = ::fork();
        if (child == 0) {
            const int ns = ::open(("/proc/" + std::to_string(service_->Pid()) + "/ns/net").c_str(), O_RDONLY);
            if (ns < 0 || ::setns(ns, CLONE_NEWNET) != 0) ::_exit(2);
            const int fd = ::socket(AF_NETLINK, SOCK_DGRAM, NETLINK_KOBJECT_UEVENT);
            sockaddr_nl to{};
            to.nl_family = AF_NETLINK;
            to.nl_groups = 1;
            const std::string path = "/devices/pci0000:00/0000:00:01.0/drm/card7";
            const std::string event = action + "@" + path + '\0' + "ACTION=" + action + '\0' + "DEVPATH=" + path +
                                      '\0' + "SUBSYSTEM=drm" + '\0' + "DEVNAME=dri/card7";
            ::_exit(::sendto(fd, event.data(), event.size() + 1, 0, reinterpret_cast<sockaddr*>(&to), sizeof to) > 0 ? 0 : 3);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    };
    ASSERT_TRUE(announce("add"));
    EXPECT_EQ(awaitOnce("the settings were put back after a driver change"), 1u) << service_->Err();
    // A device gone while every GPU is still there (a driver's unload) puts nothing back and
    // leaves the service running; its "add" does the put-back.
    ASSERT_TRUE(announce("remove"));
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_EQ(count("the settings were put back"), 3u) << service_->Err();
    EXPECT_TRUE(service_->Running()) << service_->Err();
    // The GPU taken out (the only one: the library then finds none): the service ends with the
    // status its unit restarts it on, to start again with the GPUs there are.
    const fs::path cards = folder_.Path() / "cards.json";
    auto state = nlohmann::json::parse(test::FileText(cards));
    state["cards"][0]["pluggedIn"] = false;
    std::ofstream(folder_.Path() / "edited.json") << state.dump();
    fs::rename(folder_.Path() / "edited.json", cards);
    ASSERT_TRUE(announce("remove"));
    ASSERT_TRUE(service_->WaitFor(std::chrono::seconds(10))) << service_->Err();
    EXPECT_EQ(service_->ExitStatus(), 75) << service_->Err();
}

// Which kernel events are a GPU's driver coming (back) or a GPU's device going, and which are not.
TEST(SystemEvents, ADrmDeviceAddedOrChangedWithoutAMonitorIsADriverChangeAndOneRemovedIsSaid) {
    using namespace std::string_literals;
    using Event = SystemEvents::Event;
    const std::pair<std::string, std::optional<Event>> rows[] = {
        {"add@/x/drm/card0\0ACTION=add\0SUBSYSTEM=drm\0"s, Event::DriverChanged},
        {"change@/x/drm/card0\0ACTION=change\0SUBSYSTEM=drm\0"s, Event::DriverChanged},
        {"change@/x/drm/card0\0ACTION=change\0SUBSYSTEM=drm\0HOTPLUG=1\0"s, std::nullopt},  // a monitor
        {"remove@/x/drm/card0\0ACTION=remove\0SUBSYSTEM=drm\0"s, Event::DeviceRemoved},
        {"remove@/x/usb1\0ACTION=remove\0SUBSYSTEM=usb\0"s, std::nullopt},
        {"add@/x/usb1\0ACTION=add\0SUBSYSTEM=usb\0"s, std::nullopt},
        {"add@/x/drm/card0\0ACTION=add\0SUBSYSTEM=drmx"s, std::nullopt},
        {""s, std::nullopt},
    };
    for (const auto& [event, said] : rows) EXPECT_EQ(SystemEvents::DriverEvent(event), said) << event;
}

}  // namespace
}  // namespace pyx

namespace pyx {
namespace {

// Stands in for polkit on the test's bus: grants every action to one uid, refuses it to
// everyone else, and notes what it was asked.
class ScriptedAuthority {
public:
    struct Asked {
        std::string action;
        uint32_t pid = 0;
        int32_t uid = -1;
    };

    ScriptedAuthority(const std::string& address, int32_t grantedUid) : grantedUid_(grantedUid) {
        if (sd_bus_new(&bus_) < 0 || sd_bus_set_address(bus_, address.c_str()) < 0 ||
            sd_bus_set_bus_client(bus_, 1) < 0 || sd_bus_start(bus_) < 0 ||
            sd_bus_add_object_vtable(bus_, nullptr, "/org/freedesktop/PolicyKit1/Authority",
                                     "org.freedesktop.PolicyKit1.Authority", kVtable, this) < 0 ||
            sd_bus_request_name(bus_, "org.freedesktop.PolicyKit1", 0) < 0)
            return;
        ready_ = true;
        thread_ = std::thread([this] {
            while (!stop_) {
                while (sd_bus_process(bus_, nullptr) > 0) {
                }
                sd_bus_wait(bus_, 50000);
            }
        });
    }
    ~ScriptedAuthority() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (bus_ != nullptr) sd_bus_flush_close_unref(bus_);
    }
    bool Ready() const { return ready_; }
    std::vector<Asked> Seen() {
        std::lock_guard lock(mutex_);
        return seen_;
    }

private:
    static int Check(sd_bus_message* m, void* self, sd_bus_error*) {
        auto* authority = static_cast<ScriptedAuthority*>(self);
        Asked asked;
        const char* kind = nullptr;
        sd_bus_message_enter_container(m, 'r', "sa{sv}");
        sd_bus_message_read(m, "s", &kind);
        sd_bus_message_enter_container(m, 'a', "{sv}");
        while (sd_bus_message_enter_container(m, 'e', "sv") > 0) {
            const char* key = nullptr;
            sd_bus_message_read(m, "s", &key);
            char type = 0;
            const char* contents = nullptr;
            sd_bus_message_peek_type(m, &type, &contents);
            sd_bus_message_enter_container(m, 'v', contents);
            uint64_t wide = 0;
            uint32_t u = 0;
            int32_t i = 0;
            if (contents[0] == 'u') sd_bus_message_read_basic(m, 'u', &u);
            if (contents[0] == 'i') sd_bus_message_read_basic(m, 'i', &i);
            if (contents[0] == 't') sd_bus_message_read_basic(m, 't', &wide);
            if (std::string_view(key) == "pid") asked.pid = u;
            if (std::string_view(key) == "uid") asked.uid = i;
            sd_bus_message_exit_container(m);
            sd_bus_message_exit_container(m);
        }
        sd_bus_message_exit_container(m);
        sd_bus_message_exit_container(m);
        const char* action = nullptr;
        sd_bus_message_read(m, "s", &action);
        asked.action = action != nullptr ? action : "";
        {
            std::lock_guard lock(authority->mutex_);
            authority->seen_.push_back(asked);
        }
        const int granted = std::string_view(kind) == "unix-process" && asked.uid == authority->grantedUid_;
        return sd_bus_reply_method_return(m, "(bba{ss})", granted, 0, 0);
    }
    static constexpr sd_bus_vtable kVtable[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_METHOD("CheckAuthorization", "(sa{sv})sa{ss}us", "(bba{ss})", &ScriptedAuthority::Check,
                      SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_VTABLE_END};

    int32_t grantedUid_;
    sd_bus* bus_ = nullptr;
    bool ready_ = false;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::mutex mutex_;
    std::vector<Asked> seen_;
};

// Outside the group, tuning is the authority's to grant, for the very process that asked
// (its pid as the kernel gave it); reading never asks it.
TEST_F(ServiceProcess, OutsideTheGroupTheAuthorityGrantsTuningForTheProcessThatAsked) {
    service_->Kill();
    const auto bus = StartPrivateBus();
    ASSERT_TRUE(busAddress_) << bus->Err();
    ScriptedAuthority authority(*busAddress_, static_cast<int32_t>(kNobody));
    ASSERT_TRUE(authority.Ready());
    service_ = StartService();
    ASSERT_TRUE(WaitUntilServing(*service_)) << service_->Err();
    struct Row {
        uid_t uid;
        const char* line;
        bool ok;
        const char* says;
        bool authorityAsked;
    } rows[] = {
        {kNobody, R"({"op":"fanAuto"})", true, R"("answers")", true},
        {kNobody - 1, R"({"op":"fanAuto"})", false, "an administrator's password: sudo adduser 65533 nogroup", true},
        {kNobody - 1, R"({"op":"list"})", true, R"("gpus")", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.line) + " as uid " + std::to_string(row.uid));
        const size_t before = authority.Seen().size();
        const std::string reply = AskAs(row.uid, {}, row.line);
        const auto doc = nlohmann::json::parse(reply, nullptr, false);
        ASSERT_TRUE(doc.is_object()) << reply;
        EXPECT_EQ(doc.value("ok", !row.ok), row.ok) << reply;
        EXPECT_NE(reply.find(row.says), std::string::npos) << reply;
        const std::vector<ScriptedAuthority::Asked> seen = authority.Seen();
        ASSERT_EQ(seen.size(), before + (row.authorityAsked ? 1 : 0));
        if (!row.authorityAsked) continue;
        EXPECT_EQ(seen.back().action, "org.pyxtune.tune");
        EXPECT_EQ(seen.back().uid, static_cast<int32_t>(row.uid));
        EXPECT_EQ(seen.back().pid, static_cast<uint32_t>(lastAsker_));
    }
}

}  // namespace
}  // namespace pyx
