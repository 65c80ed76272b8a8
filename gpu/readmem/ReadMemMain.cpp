// ReadMem: writes the first bytes of the graphics card's video BIOS to "PMOut" in the
// current directory, where the main program's hardware thread looks for them.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "gpu/readmem/BiosDump.h"

int main() {
    pyx::readmem::BiosSource source;
    source.backend = std::getenv("PYXTUNE_GPU_BACKEND");
    source.scenarioPath = std::getenv("PYXTUNE_SIM_SCENARIO");
    std::string error;
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
