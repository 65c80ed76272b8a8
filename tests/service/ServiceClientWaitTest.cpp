#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <thread>

#include <gtest/gtest.h>

#include "app/ServiceClient.h"
#include "tests/support/TempFolder.h"

namespace pyx {
namespace {

using namespace std::chrono_literals;

// A service of the test's own on a socket: it greets, then answers the one request after
// `delay`, or ends without an answer.
class SlowService {
public:
    SlowService(const std::filesystem::path& socket, std::chrono::milliseconds delay, bool answers) {
        listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un name{};
        name.sun_family = AF_UNIX;
        std::snprintf(name.sun_path, sizeof name.sun_path, "%s", socket.c_str());
        if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&name), sizeof name) != 0 || ::listen(listenFd_, 4) != 0)
            ADD_FAILURE() << "no socket at " << socket;
        thread_ = std::thread([this, delay, answers] {
            const int fd = ::accept(listenFd_, nullptr, nullptr);
            if (fd < 0) return;
            ReadLine(fd);
            Send(fd, R"({"ok":true,"serviceVersion":"test","backendLine":"Back-end: test"})");
            ReadLine(fd);
            std::this_thread::sleep_for(delay);
            if (answers) Send(fd, R"({"ok":true})");
            // Gone for good: the client's one attempt to connect anew finds nobody.
            ::close(listenFd_);
            ::close(fd);
        });
    }
    ~SlowService() { thread_.join(); }

private:
    static void ReadLine(int fd) {
        for (char c = 0; c != '\n';)
            if (::read(fd, &c, 1) != 1) return;
    }
    static void Send(int fd, const std::string& line) { (void)!::write(fd, (line + "\n").data(), line.size() + 1); }

    int listenFd_ = -1;
    std::thread thread_;
};

// A request the service is slow to answer (the desktop's password prompt) hands the program its
// turns and then one end; a quick one hands none; no second request is put on the line from a
// turn, where the answers would cross.
TEST(ServiceClientWait, ASlowAnswerHandsTheProgramTurnsAndOneEnd) {
    struct Row {
        const char* name;
        std::chrono::milliseconds delay;
        bool answers;
        bool answered;
        bool turns;  // waiting was called, with growing times, and then ended once
    } rows[] = {
        {"quick", 0ms, true, true, false},
        {"slow", 400ms, true, true, true},
        {"closed unanswered", 300ms, false, false, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const test::TempFolder folder("pyx-client-wait-");
        const auto socket = folder.Path() / "s.sock";
        SlowService service(socket, row.delay, row.answers);
        std::string error;
        std::unique_ptr<ServiceClient> client =
            ServiceClient::Greet(ConnectToService(socket.string(), error), socket.string(), "test", "0", error);
        ASSERT_TRUE(client) << error;
        std::vector<std::chrono::milliseconds> waited;
        int ended = 0;
        std::string nested;
        client->SetWaitHooks({[&](std::chrono::milliseconds w) {
                                  waited.push_back(w);
                                  if (waited.size() == 1) {
                                      ServiceRequest again;
                                      again.kind = RequestKind::List;
                                      EXPECT_FALSE(client->Ask(again, nested));
                                  }
                              },
                              [&] { ++ended; }});
        ServiceRequest request;
        request.kind = RequestKind::List;
        std::string message;
        EXPECT_EQ(client->Ask(request, message).has_value(), row.answered) << message;
        EXPECT_EQ(!waited.empty(), row.turns);
        EXPECT_EQ(ended, row.turns ? 1 : 0);
        EXPECT_TRUE(std::is_sorted(waited.begin(), waited.end()));
        EXPECT_GE(waited.empty() ? row.delay : waited.back(), row.delay - 100ms);
        EXPECT_EQ(nested, row.turns ? "the Pyxtune service is still answering this program's last request" : "");
    }
}

}  // namespace
}  // namespace pyx
