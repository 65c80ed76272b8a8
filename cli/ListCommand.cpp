#include "cli/ListCommand.h"

#include <cstdio>

#include <nlohmann/json.hpp>

#include "app/CoreTexts.h"
#include "app/ReapplyGuard.h"
#include "app/TuningRanges.h"
#include "cli/CliArgs.h"
#include "cli/CliSession.h"
#include "led/LedProbe.h"

namespace pyx {

namespace {

std::string Hex(uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*x", digits, value);
    return text;
}

const char* kListHelp =
    "usage: pyxtunectl list [--json]\n"
    "  One line per GPU: index, PCI device id, subsystem id and the back-end that answers; then\n"
    "  per GPU its board families, graphics boost clock, fan control type and the LED\n"
    "  controllers its bus answers for. It only reads: nothing is written to a card (the\n"
    "  lighting controllers and fan chips are found by register reads; the fan chip's\n"
    "  temperature calibration and duty-limit test, which write, are left to the window).\n"
    "  Last, when the window's last start left the stored settings off the cards because the start\n"
    "  before it never finished putting them back, a line that says so.\n"
    "  --json   print the same as a JSON object (\"reapplySkipped\" for that line)\n";

struct GpuDetails {
    std::vector<std::string> families;
    uint32_t boostClockMHz = 0;
    uint32_t fanPathCode = 0;  // the number the listing has always shown for the fan path
    std::vector<std::string> ledControllers;
};

GpuDetails ReadDetails(GpuBoardTable& boards, int gpu) {
    GpuDetails details;
    const GpuBoard& board = boards.Board(gpu);
    if (board.family != BoardFamily::None) details.families.push_back(BoardFamilyName(board.family));
    BoostClocks boost;
    (void)ReadBoostClocks(boards, gpu, boost);  // a card that does not say lists 0 MHz
    details.boostClockMHz = boost.graphicsKHz / 1000;
    details.fanPathCode = FanPathCode(board.fan.Path());
    LedBoardState led;
    ProbeLedControllersReadOnly(boards, gpu, led);
    details.ledControllers = FoundControllerNames(led);
    return details;
}

std::string Words(const std::vector<std::string>& items) {
    if (items.empty()) return "none";
    std::string text;
    for (const auto& item : items) text += (text.empty() ? "" : ",") + item;
    return text;
}

}  // namespace

int RunListCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CliArgs parsed("list", args);
    if (!parsed.Parse({"--json", "--help"}, {}, err)) return kExitUsage;
    if (parsed.Has("--help")) {
        out << kListHelp;
        return kExitOk;
    }
    if (!parsed.Words().empty()) {
        err << parsed.Prefix() << "unknown argument \"" << parsed.Words().front() << "\" (accepted: --json, --help)\n";
        return kExitUsage;
    }
    const bool json = parsed.Has("--json");
    int exitCode = kExitOk;
    auto session = CliSession::Open(err, exitCode, DiscoveryWrites::Withheld);
    if (!session) return exitCode;

    GpuBoardTable& boards = session->Boards();
    const std::string backend = session->Library().BackendName();
    nlohmann::json gpus = nlohmann::json::array();
    std::vector<std::string> detailLines;
    if (!json) out << session->BackendLine() << "\n";
    for (int gpu = 0; gpu < boards.gpuCount; ++gpu) {
        uint32_t deviceId = 0;
        uint32_t subSystemId = 0;
        const NvStatus status = boards.ReadPciIdentifiers(gpu, &deviceId, &subSystemId);
        const std::string device = status == kNvOk ? Hex(deviceId >> 16, 4) : "?";
        const std::string subsystem = status == kNvOk ? Hex(subSystemId, 8) : "?";
        const GpuDetails details = ReadDetails(boards, gpu);
        if (json) {
            gpus.push_back({{"index", gpu},
                            {"deviceId", device},
                            {"subSystemId", subsystem},
                            {"backend", backend},
                            {"families", details.families},
                            {"boostClockMHz", details.boostClockMHz},
                            {"fanControlType", details.fanPathCode},
                            {"ledControllers", details.ledControllers}});
            continue;
        }
        out << "GPU " << gpu << "  device " << device << "  subsystem " << subsystem << "  back-end " << backend
            << "\n";
        detailLines.push_back("GPU " + std::to_string(gpu) + "  families " + Words(details.families) + "  boost " +
                              std::to_string(details.boostClockMHz) + " MHz  fan control type " +
                              std::to_string(details.fanPathCode) + "  LED controllers " +
                              Words(details.ledControllers));
    }
    // Only the window puts the stored settings back; what its last start did is read from the
    // marker it keeps beside them.
    const bool reapplySkipped = ReapplyGuard::ReadMarker(session->Settings().folder).skipped;
    if (json) {
        nlohmann::json doc = {{"backend", backend},
                              {"simulated", session->Library().IsSimulated()},
                              {"description", session->Library().BackendDescription()},
                              {"settingsFolder", session->SettingsFolderText()},
                              {"reapplySkipped", reapplySkipped},
                              {"gpus", gpus}};
        out << doc.dump(2) << "\n";
        return kExitOk;
    }
    out << "\n";
    for (const auto& line : detailLines) out << line << "\n";
    out << "\n" << session->SettingsLine() << "\n";
    if (reapplySkipped) out << CoreTexts::Text(kReapplySkippedMessage) << "\n";
    return kExitOk;
}

}  // namespace pyx
