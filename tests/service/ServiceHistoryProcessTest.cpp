// The history and the metrics as their users meet them: pyxtuned keeping samples on simulated
// cards, a scraper's HTTP GET on loopback, pyxtunectl's history read back from its CSV, and a
// monitor log that a Ctrl-C ends with every line intact.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "app/SampleCsv.h"
#include "tests/app/ExpositionFormat.h"
#include "tests/cli/ProgramProcess.h"
#include "tests/support/TempFolder.h"

namespace pyx {
namespace {

namespace fs = std::filesystem;
using proctest::EnvChange;
using proctest::ProgramProcess;
using proctest::RunProgram;
using Clock = std::chrono::steady_clock;

// One HTTP exchange with the endpoint: the request's bytes out, all that comes back until the
// service closes the connection.
std::string Http(int port, const std::string& request) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string got;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0 &&
        ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
        const auto until = Clock::now() + std::chrono::seconds(10);
        while (Clock::now() < until) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0) continue;
            char buffer[4096];
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            got.append(buffer, static_cast<size_t>(n));
        }
    }
    ::close(fd);
    return got;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t start = 0, end; start < text.size(); start = end + 1) {
        end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

class ServiceHistoryProcess : public ::testing::Test {
protected:
    void SetUp() override {
        service_ = std::make_unique<ProgramProcess>(
            PYX_PYXTUNED,
            std::vector<std::string>{"--socket", socket_.string(), "--settings", (folder_.Path() / "settings").string(),
                                     "--metrics", "127.0.0.1:0"},
            Env(false), folder_.Path() / "pyxtuned");
        const auto until = Clock::now() + std::chrono::seconds(30);
        while (service_->Err().find("; listening on ") == std::string::npos) {
            ASSERT_TRUE(Clock::now() < until && service_->Running()) << service_->Err();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        const std::string err = service_->Err();
        const size_t at = err.find("metrics at http://127.0.0.1:");
        ASSERT_NE(at, std::string::npos) << err;
        port_ = std::stoi(err.substr(at + std::string("metrics at http://127.0.0.1:").size()));
    }
    std::vector<EnvChange> Env(bool throughService) const {
        return {{"PYXTUNE_GPU_BACKEND", "sim"},
                {"PYXTUNE_SIM_STATE", (folder_.Path() / "cards.json").string()},
                {"PYXTUNE_SIM_SCENARIO", std::nullopt},
                {"PYXTUNE_SERVICE", throughService ? std::nullopt : std::optional<std::string>("off")},
                {"PYXTUNE_SERVICE_SOCKET", socket_.string()},
                {"DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + (folder_.Path() / "no-bus").string()}};
    }
    proctest::ProgramRun Ctl(const std::vector<std::string>& args, bool throughService = true) {
        return RunProgram(PYX_PYXTUNECTL, args, Env(throughService), folder_.Path() / "ctl");
    }
    // The body of a scrape once the service has a sample (its first comes a second after start).
    std::string Scrape() {
        const auto until = Clock::now() + std::chrono::seconds(10);
        for (;;) {
            const std::string reply = Http(port_, "GET /metrics HTTP/1.1\r\nHost: localhost\r\n\r\n");
            const size_t body = reply.find("\r\n\r\n");
            if (body != std::string::npos && reply.find("pyxtune_gpu_sample_time_seconds") != std::string::npos)
                return reply.substr(body + 4);
            if (Clock::now() > until) return reply;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }

    test::TempFolder folder_{"pyx-history-"};
    fs::path socket_ = folder_.Path() / "pyxtuned.sock";
    std::unique_ptr<ProgramProcess> service_;
    int port_ = 0;
};

TEST_F(ServiceHistoryProcess, AScrapeOnLoopbackGetsMetricsThatKeepTheFormatsRules) {
    const std::string body = Scrape();
    EXPECT_EQ(test::ExpositionFault(body), "") << body;
    EXPECT_NE(body.find("pyxtune_gpu_temperature_celsius{gpu=\"0\"} "), std::string::npos) << body;
    EXPECT_NE(body.find("pyxtune_gpu_thermal_limit_celsius{gpu=\"0\"} "), std::string::npos) << body;
    // promtool, where it is installed, has the last word on the format.
    if (fs::exists("/usr/bin/promtool")) {
        const fs::path file = folder_.Write("scrape.txt", body);
        EXPECT_EQ(std::system(("/usr/bin/promtool check metrics < " + file.string() + " >/dev/null 2>&1").c_str()), 0)
            << body;
    }
    struct Exchange {
        std::string request;
        const char* status;
        bool body;
    };
    const Exchange exchanges[] = {
        {"GET /metrics HTTP/1.0\r\n\r\n", "HTTP/1.1 200 OK", true},
        {"GET /metrics?name[]=x HTTP/1.1\r\nHost: a\r\nAccept: */*\r\n\r\n", "HTTP/1.1 200 OK", true},
        {"HEAD /metrics HTTP/1.1\r\n\r\n", "HTTP/1.1 200 OK", false},
        {"GET / HTTP/1.1\r\n\r\n", "HTTP/1.1 404 Not Found", true},
        {"POST /metrics HTTP/1.1\r\nContent-Length: 0\r\n\r\n", "HTTP/1.1 405 Method Not Allowed", true},
        {"hello\r\n\r\n", "HTTP/1.1 400 Bad Request", true},
        {"GET /metrics HTTP/1.1\r\nX: " + std::string(9000, 'a') + "\r\n\r\n", "HTTP/1.1 431", true},
    };
    for (const Exchange& e : exchanges) {
        SCOPED_TRACE(e.request.substr(0, 40));
        const std::string reply = Http(port_, e.request);
        EXPECT_EQ(reply.rfind(e.status, 0), 0u) << reply.substr(0, 200);
        const size_t head = reply.find("\r\n\r\n");
        ASSERT_NE(head, std::string::npos);
        const size_t length = reply.find("Content-Length: ");
        ASSERT_NE(length, std::string::npos);
        const size_t declared = std::stoul(reply.substr(length + 16));
        EXPECT_GT(declared, 0u);
        EXPECT_EQ(reply.size() - head - 4, e.body ? declared : 0u) << "the body the head announces, whole";
    }
    // A scraper that connects and says nothing holds up nobody.
    const int idle = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port_));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(idle, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
    const proctest::ProgramRun list = Ctl({"list"});
    EXPECT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(Http(port_, "GET /metrics HTTP/1.1\r\n\r\n").rfind("HTTP/1.1 200 OK", 0), 0u);
    ::close(idle);
}

TEST_F(ServiceHistoryProcess, HistoryAsCsvReadsBackAsTheSamplesTheServiceKept) {
    Scrape();  // the first sample is there
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    const proctest::ProgramRun csv = Ctl({"history", "--csv"});
    ASSERT_EQ(csv.status, 0) << csv.err;
    EXPECT_NE(csv.err.find("Back-end: sim"), std::string::npos) << "the back-end line, beside the CSV";
    const std::vector<std::string> lines = Lines(csv.out);
    ASSERT_GE(lines.size(), 3u) << csv.out;
    EXPECT_EQ(lines[0], SampleCsv::Header());
    const proctest::ProgramRun json = Ctl({"history", "--json", "--since", lines[1].substr(0, 24)});
    ASSERT_EQ(json.status, 0) << json.err;
    const nlohmann::json doc = nlohmann::json::parse(json.out);
    EXPECT_EQ(doc.at("backend"), "sim");
    const nlohmann::json& samples = doc.at("samples");
    ASSERT_GE(samples.size(), lines.size() - 1) << "the JSON, asked later, holds at least as many";
    for (size_t i = 1; i < lines.size(); ++i) {
        const auto fromCsv = SampleCsv::Parse(lines[i]);
        ASSERT_TRUE(fromCsv.has_value()) << lines[i];
        EXPECT_EQ(fromCsv, SampleFromJson(samples[i - 1])) << lines[i];
        EXPECT_TRUE(fromCsv->temperatureC && fromCsv->thermalLimitC && fromCsv->powerLimitPcm) << lines[i];
    }
    const struct {
        std::vector<std::string> args;
        bool throughService;
        int status;
        const char* says;
    } refusals[] = {
        {{"history", "--since", "ten minutes"}, true, 2, "--since takes a time back from now"},
        {{"history", "--csv", "--json"}, true, 2, "exclude each other"},
        {{"history", "--gpu", "3"}, true, 2, "no GPU 3"},
        {{"history"}, false, 1, "only the service keeps a history"},
    };
    for (const auto& r : refusals) {
        const proctest::ProgramRun run = Ctl(r.args, r.throughService);
        EXPECT_EQ(run.status, r.status) << r.args.back() << run.err;
        EXPECT_NE(run.err.find(r.says), std::string::npos) << run.err;
    }
}

// A log keeps going until Ctrl-C, through the service and in pyxtunectl's own process alike;
// a second run appends without a second header, and every line reads back.
TEST_F(ServiceHistoryProcess, AMonitorLogAppendsUntilCtrlCWithEveryLineWhole) {
    for (const bool throughService : {true, false}) {
        SCOPED_TRACE(throughService ? "through the service" : "in its own process");
        const fs::path log = folder_.Path() / (throughService ? "service.csv" : "own.csv");
        ProgramProcess monitor(PYX_PYXTUNECTL, {"monitor", "--log", log.string(), "--interval", "50"},
                               Env(throughService), folder_.Path() / "monitor");
        const auto until = Clock::now() + std::chrono::seconds(20);
        while (Lines(test::FileText(log)).size() < 4 && Clock::now() < until && monitor.Running())
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_TRUE(monitor.Running()) << "a log runs until Ctrl-C: " << monitor.Err();
        ::kill(monitor.Pid(), SIGINT);
        ASSERT_TRUE(monitor.WaitFor(std::chrono::seconds(10)));
        EXPECT_EQ(monitor.ExitStatus(), 0) << monitor.Err();
        const proctest::ProgramRun more =
            Ctl({"monitor", "--log", log.string(), "--count", "2", "--interval", "10", "--csv"}, throughService);
        ASSERT_EQ(more.status, 0) << more.err;
        const std::vector<std::string> lines = Lines(test::FileText(log));
        ASSERT_GE(lines.size(), 6u);
        EXPECT_EQ(lines[0], SampleCsv::Header());
        for (size_t i = 1; i < lines.size(); ++i) EXPECT_TRUE(SampleCsv::Parse(lines[i]).has_value()) << lines[i];
        EXPECT_EQ(Lines(more.out).size(), 3u) << "the header and two lines on standard output too: " << more.out;
        EXPECT_EQ(Lines(more.out).back(), lines.back());
    }
    const proctest::ProgramRun unwritable = Ctl({"monitor", "--log", (folder_.Path() / "none" / "x.csv").string()});
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_NE(unwritable.err.find("cannot be opened for appending"), std::string::npos) << unwritable.err;
}

}  // namespace
}  // namespace pyx
