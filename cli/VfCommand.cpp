#include "cli/VfCommand.h"

#include <optional>

#include <nlohmann/json.hpp>

#include "app/VfCurveJson.h"
#include "cli/CliArgs.h"
#include "cli/CliService.h"
#include "cli/CliSession.h"
#include "gpu/VfControl.h"

namespace pyx {

namespace {

const char* kVfHelp =
    "usage: pyxtunectl vf [--gpu N] [--json]\n"
    "  The clock-client domains (type, offset range, VF point span) and every VF point with its\n"
    "  frequency offset, as the program's diagnostic listings print them (through the Pyxtune\n"
    "  service, a line per domain and point). It only reads.\n"
    "  --gpu N   the GPU to read (default 0)\n"
    "  --json    the same records as a JSON object instead of the listings\n";

// The records behind the listings, read without printing them.
int PrintJson(GpuBoardTable& boards, int gpu, std::ostream& out, std::ostream& err) {
    VfCurve curve;
    if (const NvStatus status = ReadVfCurve(boards, gpu, curve); status != kNvOk) {
        err << "pyxtunectl vf: GPU " << gpu << " did not give its clock-client records (status " << status << ")\n";
        return kExitHardware;
    }
    nlohmann::json doc = VfCurveJson(curve);
    doc["backend"] = boards.Library().BackendName();
    doc["gpu"] = gpu;
    out << doc.dump(2) << "\n";
    return kExitOk;
}

// The service's answer: as JSON, or as one line per domain and point (the diagnostic listings
// are the service's own output, not the client's).
int ThroughService(ServiceClient& service, const CliArgs& parsed, std::ostream& out, std::ostream& err) {
    std::optional<int64_t> gpu = 0;
    if (!parsed.Int("--gpu", 0, 1000000, gpu, err)) return kExitUsage;
    ServiceRequest request;
    request.kind = RequestKind::VfList;
    request.gpu = static_cast<int>(*gpu);
    int exitCode = kExitOk;
    auto answer = CliService::Ask(service, request, parsed.Prefix(), err, exitCode);
    if (!answer) return exitCode;
    answer->erase("ok");
    if (parsed.Has("--json")) {
        out << answer->dump(2) << "\n";
        return kExitOk;
    }
    out << service.BackendLine() << "\n";
    for (const nlohmann::json& d : answer->at("domains"))
        out << "domain " << d.at("index") << ": " << d.at("domain").get<std::string>() << ", "
            << d.at("type").get<std::string>() << ", offset " << d.at("offsetMinKHz") << " to " << d.at("offsetMaxKHz")
            << " kHz, VF points " << d.at("firstVfPoint") << "-" << d.at("lastVfPoint") << "\n";
    for (const nlohmann::json& p : answer->at("vfPoints"))
        out << "VF point " << p.at("index") << ": " << p.at("type").get<std::string>()
            << (p.at("voltageBased") == 1 ? ", voltage-based" : "") << ", offset " << p.at("offsetKHz") << " kHz\n";
    return kExitOk;
}

}  // namespace

int RunVfCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CliArgs parsed("vf", args);
    if (!parsed.Parse({"--json", "--help"}, {"--gpu"}, err)) return kExitUsage;
    if (parsed.Has("--help")) {
        out << kVfHelp;
        return kExitOk;
    }
    if (!parsed.Words().empty()) {
        err << parsed.Prefix() << "unknown argument \"" << parsed.Words().front() << "\" (accepted: --gpu, --json, --help)\n";
        return kExitUsage;
    }
    int exitCode = kExitOk;
    if (auto service = CliService::Open(err, exitCode)) return ThroughService(*service, parsed, out, err);
    if (exitCode != kExitOk) return exitCode;
    auto session = CliSession::Open(err, exitCode, DiscoveryWrites::Withheld);
    if (!session) return exitCode;
    const auto gpu = session->SelectGpu(parsed, err);
    if (!gpu) return kExitUsage;
    if (parsed.Has("--json")) return PrintJson(session->Boards(), *gpu, out, err);

    out << session->BackendLine() << "\n";
    out.flush();
    // The listings are the program's diagnostics and are this command's data: they go to
    // standard output as they always have.
    session->Diagnostics().SendTo(stdout);
    const NvStatus domains = ReadClockDomains(session->Boards(), *gpu);
    const NvStatus offsets = ReadVfPointOffsets(session->Boards(), *gpu);
    session->Diagnostics().SendTo(CliDiagnostics::Target());
    if (domains != kNvOk || offsets != kNvOk) {
        err << "pyxtunectl vf: GPU " << *gpu << " did not give its clock-client records (status "
            << (domains != kNvOk ? domains : offsets) << ")\n";
        return kExitHardware;
    }
    return kExitOk;
}

}  // namespace pyx
