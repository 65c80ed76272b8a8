#include "cli/CliDiagnostics.h"

#include <atomic>

namespace pyx {

namespace {
std::atomic<bool> g_verbose{false};
}  // namespace

void CliDiagnostics::SetVerbose(bool verbose) { g_verbose = verbose; }
bool CliDiagnostics::Verbose() { return g_verbose; }
std::FILE* CliDiagnostics::Target() { return g_verbose ? stderr : nullptr; }

}  // namespace pyx
