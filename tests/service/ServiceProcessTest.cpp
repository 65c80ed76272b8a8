#include <grp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

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
    std::unique_ptr<ProgramProcess> StartService(const fs::path& socket = {}) {
        return std::make_unique<ProgramProcess>(
            PYX_PYXTUNED,
            std::vector<std::string>{"--socket", (socket.empty() ? socket_ : socket).string(), "--group", "nogroup",
                                     "--settings", (folder_.Path() / "settings").string()},
            Env(false), folder_.Path() / ("pyxtuned" + std::to_string(++started_)));
    }
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
            if (fd < 0 || ::write(fd, request.data(), request.size()) != static_cast<ssize_t>(request.size())) ::_exit(3);
            const std::string reply = ReadFor(fd, std::chrono::seconds(10));
            (void)!::write(pipeFds[1], reply.data(), reply.size());
            ::_exit(0);
        }
        ::close(pipeFds[1]);
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
        {kNobody, {}, R"({"op":"fanAuto"})", false, "needs membership of the group nogroup: sudo adduser nobody nogroup"},
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
    EXPECT_EQ(AskAs(0, {}, R"({"op":"hello","version":1})").substr(0, 1), "{");
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
