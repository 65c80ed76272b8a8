#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace pyx::readmem {

// Where the BIOS bytes come from, chosen like the main program's GPU back-end:
// PYXTUNE_GPU_BACKEND=sim: the simulator scenario (PYXTUNE_SIM_SCENARIO, else the built-in
// one); =nvapi: the card's ROM; unset: the ROM of an NVIDIA card when one is present, else
// the simulator.
struct BiosSource {
    const char* backend = nullptr;       // PYXTUNE_GPU_BACKEND
    const char* scenarioPath = nullptr;  // PYXTUNE_SIM_SCENARIO
    std::filesystem::path pciDevices = "/sys/bus/pci/devices";
};

// Empty with error set when nothing could be read.
std::vector<uint8_t> ReadBios(const BiosSource& source, std::string& error);
// The first card's BIOS image of a simulator scenario.
std::vector<uint8_t> SimulatedBios(const char* scenarioPath, std::string& error);

// Writes the dump whole; false with error set on failure.
bool WriteDump(const std::filesystem::path& file, const std::vector<uint8_t>& bytes, std::string& error);

}  // namespace pyx::readmem
