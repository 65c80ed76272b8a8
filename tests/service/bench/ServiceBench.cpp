// The service as its clients meet it: a monitor request's round trip over the socket, and what
// the service costs while nobody asks anything (CPU over a minute, resident memory). The
// service runs as a process of its own on simulated cards.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// pyxtuned on the simulator at a socket of its own; ended with the object.
class ServiceUnderTest {
public:
    // extra: more of pyxtuned's options; scenario: the simulated cards (none: the built-in card);
    // stateFile: the simulated cards keep their state in a file, rewritten at each change, as
    // the process tests need; without it they keep it in memory, as a real card does.
    explicit ServiceUnderTest(const std::vector<std::string>& extra = {}, const std::string& scenario = {},
                              bool stateFile = true) {
        char folder[] = "/tmp/pyx-service-bench-XXXXXX";
        folder_ = ::mkdtemp(folder);
        socket_ = folder_ / "s.sock";
        ::setenv("PYXTUNE_GPU_BACKEND", "sim", 1);
        if (stateFile)
            ::setenv("PYXTUNE_SIM_STATE", (folder_ / "cards.json").c_str(), 1);
        else
            ::unsetenv("PYXTUNE_SIM_STATE");
        if (scenario.empty())
            ::unsetenv("PYXTUNE_SIM_SCENARIO");
        else
            ::setenv("PYXTUNE_SIM_SCENARIO", scenario.c_str(), 1);
        std::vector<std::string> args = {PYX_PYXTUNED, "--socket", socket_.string(), "--settings",
                                         (folder_ / "settings").string()};
        args.insert(args.end(), extra.begin(), extra.end());
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        for (int i = 0; i < 3000 && fd_ < 0; ++i) {
            fd_ = Connect();
            if (fd_ < 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    ~ServiceUnderTest() {
        if (fd_ >= 0) ::close(fd_);
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
        fs::remove_all(folder_);
    }
    bool Ready() const { return fd_ >= 0; }
    pid_t Pid() const { return pid_; }

    // One request, its reply.
    std::string Ask(const std::string& line) {
        const std::string request = line + "\n";
        if (::send(fd_, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size())) return {};
        std::string reply;
        char buffer[4096];
        while (reply.find('\n') == std::string::npos) {
            const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
            if (n <= 0) return {};
            reply.append(buffer, static_cast<size_t>(n));
        }
        return reply;
    }

private:
    int Connect() const {
        sockaddr_un name{};
        name.sun_family = AF_UNIX;
        std::strncpy(name.sun_path, socket_.c_str(), sizeof name.sun_path - 1);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&name), sizeof name) == 0) return fd;
        ::close(fd);
        return -1;
    }

    fs::path folder_;
    fs::path socket_;
    pid_t pid_ = -1;
    int fd_ = -1;
};

double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[static_cast<size_t>(p * static_cast<double>(values.size() - 1))];
}

void MonitorRoundTrip(benchmark::State& state) {
    ServiceUnderTest service;
    if (!service.Ready()) {
        state.SkipWithError("the service did not start");
        return;
    }
    std::vector<double> micros;
    for (auto _ : state) {
        const auto start = Clock::now();
        const std::string reply = service.Ask(R"({"op":"monitor","gpu":0})");
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        if (reply.find(R"("reading")") == std::string::npos) {
            state.SkipWithError("no reading came back");
            return;
        }
    }
    state.counters["p50_us"] = Percentile(micros, 0.50);
    state.counters["p99_us"] = Percentile(micros, 0.99);
}
BENCHMARK(MonitorRoundTrip)->Iterations(5000)->Unit(benchmark::kMicrosecond);

// Nanoseconds the process's main thread has run on a CPU (the scheduler's own count, finer
// than the clock ticks of /proc/PID/stat, of which a minute's idle service uses one or none).
double CpuNs(pid_t pid) {
    std::ifstream schedstat("/proc/" + std::to_string(pid) + "/schedstat");
    double ns = 0;
    schedstat >> ns;
    return ns;
}

long ResidentKiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

// Nothing asked, nothing animating: the service's CPU over the argument's seconds, as a share of
// one core, and its resident memory once it has served a client. The service is one thread
// once the cards are up (the start-up's hardware thread has ended).
// Arguments: the seconds, whether the service keeps its history (one sample of each GPU a
// second, which keeps it from sleeping), the GPUs (1: the built-in card, 2: two cards), and
// whether every GPU's fan follows a curve.
void IdleCost(benchmark::State& state) {
    std::vector<std::string> extra;
    if (state.range(1) == 0) extra.push_back("--no-history");
    ServiceUnderTest service(extra, state.range(2) == 2 ? std::string(PYX_SIM_SCENARIO_DIR "/two-cards.json") : "");
    if (!service.Ready() || service.Ask(R"({"op":"list"})").empty()) {
        state.SkipWithError("the service did not start");
        return;
    }
    if (state.range(3) == 1 &&
        service.Ask(R"({"op":"fanCurveSet","points":"40:30,50:35,60:50,70:75,80:100"})").find(R"("ok":true)") ==
            std::string::npos) {
        state.SkipWithError("the curves were refused");
        return;
    }
    const auto seconds = state.range(0);
    for (auto _ : state) {
        const double before = CpuNs(service.Pid());
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        const double used = CpuNs(service.Pid()) - before;
        state.counters["cpu_percent_of_core"] = 100.0 * used / (1e9 * static_cast<double>(seconds));
    }
    state.counters["rss_MiB"] = static_cast<double>(ResidentKiB(service.Pid())) / 1024.0;
}
BENCHMARK(IdleCost)
    ->ArgNames({"seconds", "history", "gpus", "curves"})
    ->Args({60, 0, 1, 0})
    ->Args({60, 1, 1, 0})
    ->Args({60, 0, 2, 0})
    ->Args({60, 1, 2, 0})
    ->Args({60, 0, 2, 1})
    ->Args({60, 1, 2, 1})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

// Breathing in step over five cards (the zones' cycle-breathing, the in-process benchmark's
// mode), animated by the service, on buses modelled at 100 kHz: how
// far each step's period strays from its 21 ms. The times are those of the service's own trace
// of its writes to the first card's main zone (a line a write, in microseconds); the simulated
// cards keep their registers in memory, as the in-process benchmark's do.
void LightingSyncThroughService(benchmark::State& state) {
    char traceName[] = "/tmp/pyx-lighting-trace-XXXXXX";
    const int traceFd = ::mkstemp(traceName);
    if (traceFd >= 0) ::close(traceFd);
    ::setenv("PYXTUNE_TRACE", traceName, 1);
    ServiceUnderTest service({"--no-history"}, PYX_SIM_SCENARIO_DIR "/five-zone-cards-100khz.json", false);
    ::unsetenv("PYXTUNE_TRACE");
    const int breaths = 3;
    for (auto _ : state) {
        const std::string reply = service.Ask(R"({"op":"lighting","all":true,"target":"zone-main","mode":"cycle-breathing"})");
        if (reply.find(R"("animated":true)") == std::string::npos) {
            state.SkipWithError(("the lighting was refused: " + reply).c_str());
            fs::remove(traceName);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(breaths * 65 * 21 + 500));
    }
    std::vector<double> times;
    std::ifstream trace(traceName);
    for (std::string line; std::getline(trace, line);)
        if (line.find(" I2CWrite gpu=0 ") != std::string::npos && line.find(" addr=0x58 ") != std::string::npos)
            times.push_back(std::stod(line.substr(2)) / 1000.0);
    fs::remove(traceName);
    // The last three breaths: the frames before them are the controllers' set-up.
    const size_t steps = static_cast<size_t>(breaths * 65);
    if (times.size() <= steps) {
        state.SkipWithError("too few frames in the trace");
        return;
    }
    std::vector<double> errorsMs;
    for (size_t i = times.size() - steps; i < times.size(); ++i) errorsMs.push_back(std::abs(times[i] - times[i - 1] - 21.0));
    state.counters["step_error_p50_ms"] = Percentile(errorsMs, 0.50);
    state.counters["step_error_p99_ms"] = Percentile(errorsMs, 0.99);
    state.counters["step_error_max_ms"] = Percentile(errorsMs, 1.0);
}
BENCHMARK(LightingSyncThroughService)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
