#include "cli/VfCommand.h"

#include <optional>

#include <nlohmann/json.hpp>

#include "cli/CliArgs.h"
#include "cli/CliSession.h"
#include "gpu/VfControl.h"

namespace pyx {

namespace {

const char* kVfHelp =
    "usage: pyxtunectl vf [--gpu N] [--json]\n"
    "  The clock-client domains (type, offset range, VF point span) and every VF point with its\n"
    "  frequency offset, as the program's diagnostic listings print them. It only reads.\n"
    "  --gpu N   the GPU to read (default 0)\n"
    "  --json    the same records as a JSON object instead of the listings\n";

// The records behind the listings, read without printing them.
int PrintJson(GpuBoardTable& boards, int gpu, std::ostream& out, std::ostream& err) {
    VfCurve curve;
    if (const NvStatus status = ReadVfCurve(boards, gpu, curve); status != kNvOk) {
        err << "pyxtunectl vf: GPU " << gpu << " did not give its clock-client records (status " << status << ")\n";
        return kExitHardware;
    }
    nlohmann::json domains = nlohmann::json::array();
    for (const VfDomain& d : curve.domains)
        domains.push_back({{"index", d.index},
                           {"type", ClockTypeName(d.type)},
                           {"domain", ClockDomainName(d.domainId)},
                           {"offsetMaxKHz", d.offsetMaxKHz},
                           {"offsetMinKHz", d.offsetMinKHz},
                           {"firstVfPoint", d.firstVfPoint},
                           {"lastVfPoint", d.lastVfPoint}});
    nlohmann::json points = nlohmann::json::array();
    for (const VfPoint& p : curve.points)
        points.push_back({{"index", p.index},
                          {"type", ClockTypeName(p.type)},
                          {"voltageBased", p.voltageBased ? 1 : 0},
                          {"offsetKHz", p.offsetKHz}});
    out << nlohmann::json{{"backend", boards.Library().BackendName()}, {"gpu", gpu}, {"domains", domains}, {"vfPoints", points}}
               .dump(2)
        << "\n";
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
