#pragma once
#include <cstdio>

namespace pyx {

// The GPU layer writes its diagnostic listings (VF points, fan-cooler status, clock-change
// outcomes) to its table's diagnostics sink. A command's standard output is its data, so the
// sink a command's table gets drops them, or with --verbose sends them to standard error.
class CliDiagnostics {
public:
    static void SetVerbose(bool verbose);
    static bool Verbose();
    // Where a command's diagnostics sink writes: standard error with --verbose, else nowhere.
    static std::FILE* Target();
};

}  // namespace pyx
