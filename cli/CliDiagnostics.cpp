#include "cli/CliDiagnostics.h"

#include <atomic>
#include <cstdio>
#include <fcntl.h>

#ifdef _WIN32
#include <io.h>
#define PYX_DUP _dup
#define PYX_DUP2 _dup2
#define PYX_CLOSE _close
#define PYX_OPEN _open
#define PYX_NULL_DEVICE "NUL"
#define PYX_WRITE_ONLY _O_WRONLY
#else
#include <unistd.h>
#define PYX_DUP dup
#define PYX_DUP2 dup2
#define PYX_CLOSE close
#define PYX_OPEN open
#define PYX_NULL_DEVICE "/dev/null"
#define PYX_WRITE_ONLY O_WRONLY
#endif

namespace pyx {

namespace {
std::atomic<bool> g_verbose{false};
constexpr int kStdout = 1;
constexpr int kStderr = 2;
}  // namespace

void CliDiagnostics::SetVerbose(bool verbose) { g_verbose = verbose; }
bool CliDiagnostics::Verbose() { return g_verbose; }

CliDiagnostics::CliDiagnostics() {
    std::fflush(stdout);
    savedStdout_ = PYX_DUP(kStdout);
    if (savedStdout_ < 0) return;
    if (g_verbose) {
        PYX_DUP2(kStderr, kStdout);
        return;
    }
    const int sink = PYX_OPEN(PYX_NULL_DEVICE, PYX_WRITE_ONLY);
    if (sink >= 0) {
        PYX_DUP2(sink, kStdout);
        PYX_CLOSE(sink);
    }
}

CliDiagnostics::~CliDiagnostics() {
    if (savedStdout_ < 0) return;
    std::fflush(stdout);
    PYX_DUP2(savedStdout_, kStdout);
    PYX_CLOSE(savedStdout_);
}

}  // namespace pyx
