#include "cli/ListCommand.h"

#include <filesystem>
#include <optional>

#include <nlohmann/json.hpp>

#include "app/CardListing.h"
#include "app/CoreTexts.h"
#include "app/ReapplyGuard.h"
#include "cli/CliArgs.h"
#include "cli/CliService.h"
#include "cli/CliSession.h"

namespace pyx {

namespace {

const char* kListHelp =
    "usage: pyxtunectl list [--json]\n"
    "  One line per GPU: index, PCI device id, subsystem id and the back-end that answers; then\n"
    "  per GPU its board families, graphics boost clock, fan control type and the LED\n"
    "  controllers its bus answers for. It only reads: nothing is written to a card (the\n"
    "  lighting controllers and fan chips are found by register reads; the fan chip's\n"
    "  temperature calibration and duty-limit test, which write, are left to the window).\n"
    "  Last, when the window's last start left the stored settings off the cards because the start\n"
    "  before it never finished putting them back, a line that says so.\n"
    "  --json   print the same as a JSON object (\"reapplySkipped\" for that line)\n"
    "  When the Pyxtune service owns the cards, they are listed as the service sees them.\n";

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
    nlohmann::json doc;
    std::string backendLine;
    std::string settingsLine;
    if (auto service = CliService::Open(err, exitCode)) {
        ServiceRequest request;
        request.kind = RequestKind::List;
        auto answer = CliService::Ask(*service, request, parsed.Prefix(), err, exitCode);
        if (!answer) return exitCode;
        // The service keeps no settings of the user's, and puts nothing back at a window's start.
        doc = {{"backend", answer->at("backend")},
               {"simulated", answer->at("simulated")},
               {"description", answer->at("description")},
               {"service", true},
               {"settingsFolder", nullptr},
               {"reapplySkipped", false},
               {"gpus", answer->at("gpus")}};
        backendLine = service->BackendLine();
    } else {
        if (exitCode != kExitOk) return exitCode;
        auto session = CliSession::Open(err, exitCode, DiscoveryWrites::Withheld);
        if (!session) return exitCode;
        const std::string backend = session->Library().BackendName();
        // Only the window puts the stored settings back; what its last start did is read from
        // the marker it keeps beside them.
        // Without a settings folder there is neither a folder nor a marker to name.
        const std::optional<std::filesystem::path> folder = session->Settings().Folder();
        doc = {{"backend", backend},
               {"simulated", session->Library().IsSimulated()},
               {"description", session->Library().BackendDescription()},
               {"service", false},
               {"settingsFolder", folder ? nlohmann::json(session->SettingsFolderText()) : nlohmann::json(nullptr)},
               {"reapplySkipped", folder && ReapplyGuard::ReadMarker(*folder).skipped},
               {"gpus", CardListing::ReadGpus(session->Boards(), backend)}};
        if (!folder) doc["settingsNotUsed"] = session->Settings().WhyNotUsed();
        backendLine = session->BackendLine();
        settingsLine = session->SettingsLine();
    }
    if (json) {
        out << doc.dump(2) << "\n";
        return kExitOk;
    }
    out << backendLine << "\n" << CardListing::GpuLines(doc.at("gpus"));
    if (!settingsLine.empty()) out << "\n" << settingsLine << "\n";
    if (doc.at("reapplySkipped").get<bool>()) out << CoreTexts::Text(kReapplySkippedMessage) << "\n";
    return kExitOk;
}

}  // namespace pyx
