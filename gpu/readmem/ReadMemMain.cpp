// ReadMem: writes the first bytes of the graphics card's video BIOS to "PMOut" in the
// current directory, where the main program's hardware thread looks for them. The program
// passes the back-end it runs on: "--backend=sim" makes the simulator's image the source;
// nothing or "--backend=nvapi" reads the card's ROM, and when that fails no "PMOut" is
// written and the exit status is not 0.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "gpu/readmem/BiosDump.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    std::string error;
    const auto backend = pyx::readmem::BackendFromArguments(args, error);
    if (!backend) {
        std::fprintf(stderr, "ReadMem: %s\n", error.c_str());
        return 3;
    }
    pyx::readmem::BiosSource source;
    source.backend = *backend;
    source.scenarioPath = std::getenv("PYXTUNE_SIM_SCENARIO");
    const auto bios = pyx::readmem::ReadBios(source, error);
    if (bios.empty()) {
        std::fprintf(stderr, "ReadMem: %s\n", error.empty() ? "the BIOS is empty" : error.c_str());
        return 1;
    }
    if (!pyx::readmem::WriteDump("PMOut", bios, error)) {
        std::fprintf(stderr, "ReadMem: %s\n", error.c_str());
        return 2;
    }
    return 0;
}
