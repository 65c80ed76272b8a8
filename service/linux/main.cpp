// pyxtuned: the service that owns the cards on Linux, so that the window and pyxtunectl tune
// them as any user over a socket, each request authorised on its own.
#include <signal.h>
#include <sys/stat.h>
#include <systemd/sd-daemon.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/FanReport.h"
#include "app/MetricsText.h"
#include "cli/CliSession.h"
#include "platform/ServiceChannel.h"
#include "service/linux/GroupAccessPolicy.h"
#include "service/linux/MetricsEndpoint.h"
#include "service/linux/PolkitAuthority.h"
#include "service/linux/ServiceListener.h"
#include "service/linux/ServiceServer.h"
#include "service/linux/SystemEvents.h"

namespace {

// A start anew is wanted (the GPUs changed); not 0, so that the unit's Restart=on-failure acts.
constexpr int kExitGpusChanged = 75;

const char* kUsage =
    "usage: pyxtuned [--socket PATH] [--group NAME] [--settings DIR] [--settle-ms MS]\n"
    "                [--metrics ADDRESS:PORT] [--no-history]\n"
    "       pyxtuned --hand-back-fans\n"
    "  Owns the GPUs for Pyxtune's window and pyxtunectl. Started by systemd (pyxtuned.socket) it\n"
    "  serves the socket systemd passes; otherwise it listens on PATH (default\n"
    "  /run/pyxtune/pyxtuned.sock), removing a socket file there that nobody listens on.\n"
    "  --group NAME       members of NAME may light and tune (default pyxtune); root always may;\n"
    "                     every local user may read\n"
    "  --settings DIR     where the machine's tuning is kept and put back from at the start, after\n"
    "                     a resume and after a driver change (default: systemd's StateDirectory,\n"
    "                     else /var/lib/pyxtune; a \"simulated\" folder in it for simulated cards)\n"
    "  --settle-ms MS     the wait after a resume or driver change before the put-back (default 2000)\n"
    "  --metrics ADDRESS:PORT\n"
    "                     serve each GPU's newest sample in Prometheus's text format at\n"
    "                     http://ADDRESS:PORT/metrics (off by default; ADDRESS is a numeric IPv4\n"
    "                     address or an IPv6 one in brackets; 127.0.0.1:9835 keeps it to this machine)\n"
    "  --no-history       keep no history (one sample of each GPU a second, for an hour); the\n"
    "                     service then sleeps while nothing else needs it, and serves no metrics\n"
    "  --hand-back-fans   every fan of every GPU back to the card's own control, then end (the\n"
    "                     unit's ExecStopPost, so that no fan stays fixed whatever ended the service)\n"
    "Exit status: 0 done, 1 the cards or the socket could not be used (or a card refused to take\n"
    "a fan back), 2 bad arguments, 75 the GPUs changed under it (its unit starts it anew).\n";

int HandBackFans() {
    int exitCode = pyx::kExitOk;
    auto session = pyx::CliSession::Open(std::cerr, exitCode, pyx::DiscoveryWrites::Sent);
    if (!session) return exitCode;
    std::vector<int> gpus;
    for (int gpu = 0; gpu < session->Boards().gpuCount; ++gpu) gpus.push_back(gpu);
    const nlohmann::json report = pyx::FanReport::HandBack(session->Boards(), gpus);
    bool refused = false;
    for (const auto& gpu : report.at("gpus"))
        for (const auto& answer : gpu.at("answers")) {
            std::cerr << "pyxtuned: GPU " << gpu.at("gpu").get<int>() << " " << answer.at("path").get<std::string>()
                      << ": "
                      << (answer.at("refused").get<bool>() ? "refused, " + answer.at("status").get<std::string>()
                                                           : std::string("handed back to the card"))
                      << "\n";
            refused = refused || answer.at("refused").get<bool>();
        }
    return refused ? pyx::kExitHardware : pyx::kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    // Before any thread starts, so that the stop signals reach only the loop's signalfd.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    sigprocmask(SIG_BLOCK, &stopSignals, nullptr);

    std::optional<std::string> socketPath;
    std::string group = "pyxtune";
    const char* stateDirectory = std::getenv("STATE_DIRECTORY");  // systemd's, for StateDirectory=
    std::filesystem::path settings = stateDirectory != nullptr && *stateDirectory != '\0'
                                         ? std::filesystem::path(stateDirectory)
                                         : std::filesystem::path("/var/lib/pyxtune");
    long settleMs = 2000;
    bool handBack = false;
    std::optional<std::string> metricsAddress;
    bool history = true;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--socket" && i + 1 < argc) {
            socketPath = argv[++i];
        } else if (arg == "--group" && i + 1 < argc) {
            group = argv[++i];
        } else if (arg == "--settings" && i + 1 < argc) {
            settings = argv[++i];
        } else if (arg == "--settle-ms" && i + 1 < argc) {
            char* end = nullptr;
            settleMs = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || settleMs < 0 || settleMs > 600000) {
                std::cerr << "pyxtuned: --settle-ms takes a whole number of milliseconds from 0 to 600000\n";
                return pyx::kExitUsage;
            }
        } else if (arg == "--metrics" && i + 1 < argc) {
            metricsAddress = argv[++i];
        } else if (arg == "--no-history") {
            history = false;
        } else if (arg == "--hand-back-fans") {
            handBack = true;
        } else if (arg == "-h" || arg == "--help") {
            std::cout << kUsage;
            return 0;
        } else {
            std::cerr << "pyxtuned: unknown argument \"" << arg << "\"\n" << kUsage;
            return pyx::kExitUsage;
        }
    }
    if (handBack) return HandBackFans();
    if (metricsAddress && !history) {
        std::cerr << "pyxtuned: --metrics serves the history's newest samples; it does not go with --no-history\n";
        return pyx::kExitUsage;
    }

    std::string why;
    if (metricsAddress && !pyx::MetricsEndpoint::CheckAddress(*metricsAddress, why)) {
        std::cerr << "pyxtuned: --metrics: " << why << "\n";
        return pyx::kExitUsage;
    }
    bool bound = false;
    int listenFd = socketPath ? -1 : pyx::ServiceListener::FromSystemd(why);
    if (listenFd < 0 && why.empty()) {
        const std::string path = socketPath.value_or(pyx::DefaultServiceAddress());
        if (!socketPath) ::mkdir("/run/pyxtune", 0755);  // systemd's RuntimeDirectory makes it otherwise
        listenFd = pyx::ServiceListener::Bind(path, why);
        bound = listenFd >= 0;
        socketPath = path;
    }
    if (listenFd < 0) {
        std::cerr << "pyxtuned: " << why << "\n";
        return pyx::kExitHardware;
    }

    int exitCode = pyx::kExitOk;
    auto session = pyx::CliSession::Open(std::cerr, exitCode, pyx::DiscoveryWrites::Sent);
    if (!session) {
        if (bound) ::unlink(socketPath->c_str());
        return exitCode;
    }
    const pyx::GroupAccessPolicy policy(group);
    // Simulated cards' settings never mix with the real cards' own.
    if (session->Library().IsSimulated()) settings /= "simulated";
    std::error_code made;
    std::filesystem::create_directories(settings, made);
    pyx::ServiceCore core(session->Library(), session->Boards(), policy, {PYX_PROJECT_VERSION, session->BackendLine()},
                          settings);
    std::vector<std::string> notes;
    auto events = pyx::SystemEvents::Open(notes);
    std::string noAuthority;
    auto authority = pyx::PolkitAuthority::Open(noAuthority);
    if (!authority) notes.push_back(noAuthority + ": only root and the group " + group + " may tune");
    if (history) core.KeepHistory();
    std::unique_ptr<pyx::MetricsEndpoint> metrics;
    if (metricsAddress) {
        metrics = pyx::MetricsEndpoint::Open(
            *metricsAddress, [&core] { return pyx::MetricsText::Render(core.LatestSamples()); }, why);
        if (!metrics) {
            // Asked for and not served (the port is taken) is to be fixed, not run without.
            std::cerr << "pyxtuned: " << why << "\n";
            if (bound) ::unlink(socketPath->c_str());
            return pyx::kExitHardware;
        }
        notes.push_back("metrics at http://" + metrics->Address() + "/metrics" +
                        (pyx::MetricsEndpoint::IsLoopback(metrics->Address())
                             ? std::string()
                             : std::string(", open to every machine that reaches this address")));
    }
    pyx::ServiceServer::Limits limits;
    limits.settle = std::chrono::milliseconds(settleMs);
    pyx::ServiceServer server(listenFd, core, std::cerr, limits, events.get(), authority.get(), metrics.get());
    for (const std::string& note : notes) std::cerr << "pyxtuned: " << note << "\n";
    for (const std::string& line : core.Reapply("at the service's start")) std::cerr << "pyxtuned: " << line << "\n";
    std::cerr << "pyxtuned: " << session->BackendLine() << "; " << static_cast<int>(session->Boards().gpuCount) << " GPU(s); listening"
              << (bound ? " on " + *socketPath : std::string(" on the socket systemd passed")) << std::endl;
    sd_notify(0, "READY=1");
    const bool served = server.Run();
    sd_notify(0, "STOPPING=1");
    const pyx::TuningReport handedBack = core.End();
    for (const pyx::TuningWriteResult& r : handedBack.Refusals())
        std::cerr << "pyxtuned: at the end GPU " << r.gpu << " did not take back its " << pyx::DescribeWrite(r) << ": "
                  << pyx::StatusInWords(r.status) << "\n";
    if (bound) ::unlink(socketPath->c_str());
    // Not a clean end: the unit's Restart=on-failure starts the service anew with the new GPUs.
    if (server.GpusChanged()) return kExitGpusChanged;
    return served ? pyx::kExitOk : pyx::kExitHardware;
}
