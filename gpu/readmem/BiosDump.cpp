#include "gpu/readmem/BiosDump.h"

#include <fstream>
#include <string_view>

#include "gpu/readmem/SysfsRom.h"
#include "sim/SimScenario.h"

namespace pyx::readmem {

namespace {

std::vector<uint8_t> CardRom(const std::filesystem::path& pciDevices, std::string& error) {
#ifdef _WIN32
    (void)pciDevices;
    error = "reading the card's ROM is not available on this system";
    return {};
#else
    const auto roms = FindNvidiaRoms(pciDevices);
    if (roms.empty()) {
        error = "no NVIDIA display device with a ROM under " + pciDevices.string();
        return {};
    }
    return ReadSysfsRom(roms.front(), error);
#endif
}

}  // namespace

std::vector<uint8_t> SimulatedBios(const char* scenarioPath, std::string& error) {
    std::unique_ptr<sim::SimLibrary> library;
    if (scenarioPath != nullptr && *scenarioPath != '\0') {
        library = sim::SimScenario::FromFile(scenarioPath, error);
        if (!library) return {};
    } else {
        library = sim::SimScenario::Default();
    }
    if (library->CardCount() == 0) {
        error = "simulator scenario " + library->scenarioName + " has no card";
        return {};
    }
    return library->Card(0).biosImage;
}

std::vector<uint8_t> ReadBios(const BiosSource& source, std::string& error) {
    const std::string_view backend = source.backend ? source.backend : "";
    if (backend == "sim") return SimulatedBios(source.scenarioPath, error);
    if (backend == "nvapi") return CardRom(source.pciDevices, error);
    if (!backend.empty()) {
        error = "PYXTUNE_GPU_BACKEND: unknown back-end \"" + std::string(backend) + "\" (accepted: nvapi, sim)";
        return {};
    }
#ifndef _WIN32
    if (!FindNvidiaRoms(source.pciDevices).empty()) return CardRom(source.pciDevices, error);
#endif
    return SimulatedBios(source.scenarioPath, error);
}

bool WriteDump(const std::filesystem::path& file, const std::vector<uint8_t>& bytes, std::string& error) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (out) out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        error = "cannot write " + file.string();
        return false;
    }
    return true;
}

}  // namespace pyx::readmem
