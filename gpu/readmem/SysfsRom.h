#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace pyx::readmem {

// The ROM files of the NVIDIA display devices under a sysfs PCI tree (normally
// /sys/bus/pci/devices), in the order the devices are listed by name.
std::vector<std::filesystem::path> FindNvidiaRoms(const std::filesystem::path& pciDevices);

// Reads a sysfs ROM file: the kernel serves it only while "1" is written to it, so it is
// switched on, read whole and switched off again. Empty on failure, with error set.
std::vector<uint8_t> ReadSysfsRom(const std::filesystem::path& rom, std::string& error);

}  // namespace pyx::readmem
