#include "cli/Cli.h"

#include "cli/ApplyCommand.h"
#include "cli/CliDiagnostics.h"
#include "cli/CliSession.h"
#include "cli/DoctorCommand.h"
#include "cli/FanCommand.h"
#include "cli/HistoryCommand.h"
#include "cli/LedCommand.h"
#include "cli/ListCommand.h"
#include "cli/MonitorCommand.h"
#include "cli/ProfileCommand.h"
#include "cli/VfCommand.h"

namespace pyx {

namespace {

const char* kUsage =
    "usage: pyxtunectl [-v|--verbose] <command> [options] [-h|--help]\n"
    "       pyxtunectl --version\n"
    "commands:\n"
    "  list      the GPUs found and the back-end that answers\n"
    "  monitor   clocks, temperature, fan and load of a GPU (as lines, JSON or CSV, or into a log)\n"
    "  history   what the Pyxtune service kept of each GPU over the last hour\n"
    "  apply     a tuning mode: extreme, performance, common or custom\n"
    "  fan       every fan back to the card's own control (auto), or who drives each fan (show)\n"
    "  profile   save, load or show a settings file\n"
    "  led       the lighting of a GPU's LED controllers\n"
    "  vf        the clock-domain and VF-point listings\n"
    "  doctor    what answers each operation on this machine; changes nothing\n"
    "Run \"pyxtunectl <command> --help\" (or -h, before or after the command) for its options.\n"
    "-v, --verbose  the GPU layer's diagnostic listings on standard error (anywhere on the line)\n"
    "Exit status: 0 done, 1 the hardware refused, 2 bad arguments.\n"
    "Environment: PYXTUNE_GPU_BACKEND=nvapi|sim, PYXTUNE_SIM_SCENARIO=FILE, PYXTUNE_SIM_STATE=FILE,\n"
    "PYXTUNE_TRACE=FILE, PYXTUNE_LIBRARY_ROOT=DIR (a root-owned copy of / to find the driver's libraries in),\n"
    "PYXTUNE_SERVICE_SOCKET=PATH (the Pyxtune service to ask; default /run/pyxtune/pyxtuned.sock),\n"
    "PYXTUNE_SERVICE=off (never ask a service: open the cards in this process)\n";

using Command = int (*)(const std::vector<std::string>&, std::ostream&, std::ostream&);

}  // namespace

int RunCli(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    // -v and -h work wherever they are written: before the command or among its options. A
    // help asked for anywhere is the named command's, whatever else the line holds.
    std::vector<std::string> args;
    bool verbose = false;
    bool help = false;
    for (const std::string& arg : arguments) {
        if (arg == "-v" || arg == "--verbose")
            verbose = true;
        else if (arg == "-h" || arg == "--help")
            help = true;
        else
            args.push_back(arg);
    }
    CliDiagnostics::SetVerbose(verbose);
    if (!args.empty() && args.front() == "help") {
        help = true;
        args.erase(args.begin());
    }
    if (args.empty()) {
        (help ? out : err) << kUsage;
        return help ? kExitOk : kExitUsage;
    }
    const std::string& command = args.front();
    if (command == "--version") {
        if (args.size() > 1) {
            err << "pyxtunectl: --version takes no other argument\n";
            return kExitUsage;
        }
        out << "pyxtunectl " << PYX_PROJECT_VERSION << "\n";
        return kExitOk;
    }
    const std::vector<std::string> rest =
        help ? std::vector<std::string>{"--help"} : std::vector<std::string>(args.begin() + 1, args.end());
    const std::pair<const char*, Command> commands[] = {
        {"list", RunListCommand},   {"monitor", RunMonitorCommand}, {"apply", RunApplyCommand},
        {"profile", RunProfileCommand}, {"led", RunLedCommand},     {"vf", RunVfCommand},
        {"doctor", RunDoctorCommand}, {"fan", RunFanCommand}, {"history", RunHistoryCommand}};
    for (const auto& [name, run] : commands)
        if (command == name) return run(rest, out, err);
    err << "pyxtunectl: unknown command \"" << command << "\" (accepted: list, monitor, history, apply, fan, profile, led, vf, doctor)\n"
        << kUsage;
    return kExitUsage;
}

}  // namespace pyx
