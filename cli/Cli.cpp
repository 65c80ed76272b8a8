#include "cli/Cli.h"

#include "cli/CliSession.h"
#include "cli/ListCommand.h"

namespace pyx {

namespace {

const char* kUsage =
    "usage: pyxtunectl <command> [options]\n"
    "commands:\n"
    "  list      the GPUs found and the back-end that answers\n"
    "Run \"pyxtunectl <command> --help\" for a command's options.\n"
    "Environment: PYXTUNE_GPU_BACKEND=nvapi|sim, PYXTUNE_SIM_SCENARIO=FILE, PYXTUNE_TRACE=FILE\n";

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        err << kUsage;
        return kExitUsage;
    }
    const std::string& command = args.front();
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "--help" || command == "-h" || command == "help") {
        out << kUsage;
        return kExitOk;
    }
    if (command == "list") return RunListCommand(rest, out, err);
    err << "pyxtunectl: unknown command \"" << command << "\" (accepted: list)\n" << kUsage;
    return kExitUsage;
}

}  // namespace pyx
