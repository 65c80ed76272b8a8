#include "cli/ListCommand.h"

#include <cstdio>

#include <nlohmann/json.hpp>

#include "cli/CliSession.h"

namespace pyx {

namespace {

std::string Hex(uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*x", digits, value);
    return text;
}

const char* kListHelp =
    "usage: pyxtunectl list [--json]\n"
    "  One line per GPU: index, PCI device id, subsystem id and the back-end that answers.\n"
    "  --json   print the same as a JSON object\n";

}  // namespace

int RunListCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    bool json = false;
    for (const auto& arg : args) {
        if (arg == "--help" || arg == "-h") {
            out << kListHelp;
            return kExitOk;
        }
        if (arg == "--json") {
            json = true;
            continue;
        }
        err << "pyxtunectl list: unknown argument \"" << arg << "\" (accepted: --json, --help)\n";
        return kExitUsage;
    }
    int exitCode = kExitOk;
    auto session = CliSession::Open(err, exitCode);
    if (!session) return exitCode;

    GpuBoardTable& boards = session->Boards();
    nlohmann::json gpus = nlohmann::json::array();
    if (!json) out << session->BackendLine() << "\n";
    for (int gpu = 0; gpu < boards.gpuCount; ++gpu) {
        uint32_t deviceId = 0;
        uint32_t subSystemId = 0;
        const NvStatus status = boards.ReadPciIdentifiers(gpu, &deviceId, &subSystemId);
        const std::string device = status == kNvOk ? Hex(deviceId >> 16, 4) : "?";
        const std::string subsystem = status == kNvOk ? Hex(subSystemId, 8) : "?";
        if (json) {
            gpus.push_back({{"index", gpu}, {"deviceId", device}, {"subSystemId", subsystem},
                            {"backend", session->Library().BackendName()}});
        } else {
            out << "GPU " << gpu << "  device " << device << "  subsystem " << subsystem << "  back-end "
                << session->Library().BackendName() << "\n";
        }
    }
    if (json) {
        nlohmann::json doc = {{"backend", session->Library().BackendName()},
                              {"simulated", session->Library().IsSimulated()},
                              {"description", session->Library().BackendDescription()},
                              {"gpus", gpus}};
        out << doc.dump(2) << "\n";
    }
    return kExitOk;
}

}  // namespace pyx
