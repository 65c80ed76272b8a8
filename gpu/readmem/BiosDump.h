#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace pyx::readmem {

// Where the BIOS bytes come from: the card's ROM, or the simulator's made-up image. The
// main program says which on the command line, from the back-end it chose; without a word
// from it only the card is read, so a card is never given the simulator's bytes.
enum class BiosBackend { Card, Simulator };

// The reader's command line: nothing or "--backend=nvapi" (the card), "--backend=sim" (the
// simulator). Unset with error set on anything else.
std::optional<BiosBackend> BackendFromArguments(std::span<const std::string> args, std::string& error);

struct BiosSource {
    BiosBackend backend = BiosBackend::Card;
    const char* scenarioPath = nullptr;  // PYXTUNE_SIM_SCENARIO: the simulator's scenario
    std::filesystem::path pciDevices = "/sys/bus/pci/devices";
};

// Empty with error set when nothing could be read.
std::vector<uint8_t> ReadBios(const BiosSource& source, std::string& error);
// The first card's BIOS image of a simulator scenario.
std::vector<uint8_t> SimulatedBios(const char* scenarioPath, std::string& error);

// Writes the dump whole, as a new file: an old dump of the running user's is replaced, one
// of another user's (or a link of theirs) is left alone and nothing is written. False with
// error set on failure, and then no part of the dump is left.
bool WriteDump(const std::filesystem::path& file, const std::vector<uint8_t>& bytes, std::string& error);

}  // namespace pyx::readmem
