#include "gpu/readmem/BiosDump.h"

#include <fstream>
#include <system_error>

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

std::optional<BiosBackend> BackendFromArguments(std::span<const std::string> args, std::string& error) {
    if (args.empty()) return BiosBackend::Card;
    for (const std::string& arg : args) {
        if (arg != "--backend=nvapi" && arg != "--backend=sim") {
            error = "unknown argument \"" + arg + "\" (accepted: --backend=nvapi or --backend=sim)";
            return std::nullopt;
        }
    }
    if (args.size() > 1) {
        error = "the back-end is named more than once";
        return std::nullopt;
    }
    return args[0] == "--backend=sim" ? BiosBackend::Simulator : BiosBackend::Card;
}

std::vector<uint8_t> ReadBios(const BiosSource& source, std::string& error) {
    if (source.backend == BiosBackend::Simulator) return SimulatedBios(source.scenarioPath, error);
    return CardRom(source.pciDevices, error);
}

bool WriteDump(const std::filesystem::path& file, const std::vector<uint8_t>& bytes, std::string& error) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (out) out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        error = "cannot write " + file.string();
        // Half a dump would be scanned as if it were the BIOS.
        std::error_code ec;
        std::filesystem::remove(file, ec);
        return false;
    }
    return true;
}

}  // namespace pyx::readmem
