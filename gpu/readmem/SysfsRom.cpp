#include "gpu/readmem/SysfsRom.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <system_error>

namespace pyx::readmem {

namespace {

constexpr unsigned long kNvidiaVendor = 0x10de;
constexpr unsigned long kDisplayClass = 0x03;  // PCI base class of display controllers

bool ReadHexFile(const std::filesystem::path& file, unsigned long& value) {
    std::ifstream in(file);
    std::string text;
    if (!(in >> text)) return false;
    try {
        size_t used = 0;
        value = std::stoul(text, &used, 16);
        return used == text.size();
    } catch (const std::exception&) {
        return false;
    }
}

// Writing the switch must not truncate or extend anything: "r+" keeps the file as it is.
bool WriteSwitch(const std::filesystem::path& rom, const char* value) {
    FILE* f = std::fopen(rom.string().c_str(), "r+");
    if (f == nullptr) return false;
    const bool ok = std::fputs(value, f) >= 0;
    return (std::fclose(f) == 0) && ok;
}

}  // namespace

std::vector<std::filesystem::path> FindNvidiaRoms(const std::filesystem::path& pciDevices) {
    std::vector<std::filesystem::path> roms;
    std::error_code ec;
    std::filesystem::directory_iterator it(pciDevices, ec);
    if (ec) return roms;
    for (const auto& entry : it) {
        const std::filesystem::path device = entry.path();
        unsigned long vendor = 0;
        unsigned long pciClass = 0;
        if (!ReadHexFile(device / "vendor", vendor) || vendor != kNvidiaVendor) continue;
        if (!ReadHexFile(device / "class", pciClass) || (pciClass >> 16) != kDisplayClass) continue;
        if (!std::filesystem::exists(device / "rom", ec)) continue;
        roms.push_back(device / "rom");
    }
    std::sort(roms.begin(), roms.end());
    return roms;
}

std::vector<uint8_t> ReadSysfsRom(const std::filesystem::path& rom, std::string& error) {
    std::vector<uint8_t> bytes;
    if (!WriteSwitch(rom, "1")) {
        error = "cannot enable " + rom.string() + ": " + std::strerror(errno);
        return bytes;
    }
    std::ifstream in(rom, std::ios::binary);
    if (in) {
        char buffer[64 * 1024];
        while (in.read(buffer, sizeof buffer) || in.gcount() > 0)
            bytes.insert(bytes.end(), buffer, buffer + in.gcount());
    }
    if (bytes.empty()) error = "cannot read " + rom.string() + ": " + std::strerror(errno);
    WriteSwitch(rom, "0");
    return bytes;
}

}  // namespace pyx::readmem
