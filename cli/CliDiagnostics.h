#pragma once

namespace pyx {

// The GPU layer prints its diagnostic listings (VF points, fan-cooler status, clock-change
// outcomes) on standard output, as the window always has. A command's standard output is its
// data, so while a command drives the hardware those lines go elsewhere: to standard error
// with --verbose, else nowhere. The command writes its own output outside such a scope.
class CliDiagnostics {
public:
    static void SetVerbose(bool verbose);
    static bool Verbose();

    CliDiagnostics();
    ~CliDiagnostics();
    CliDiagnostics(const CliDiagnostics&) = delete;
    CliDiagnostics& operator=(const CliDiagnostics&) = delete;

private:
    int savedStdout_ = -1;
};

}  // namespace pyx
