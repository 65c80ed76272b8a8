#pragma once
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "sim/SimLibrary.h"
#include "sim/SimStateFileCard.h"

namespace pyx::sim {

// Keeps the simulated cards' state in a file across runs, as a real card keeps its settings
// while programs come and go: the state is read once at start and written back after every
// change, each time whole and in one step (a temporary file renamed over the old one), so a
// reader never finds half a state.
class SimStateFile {
public:
    // Loads path into the library's cards (a missing or empty file: the cards start as the
    // scenario made them), writes the file once and from then on after every change the
    // library reports. On failure returns null with error naming the file and what is wrong;
    // the cards are then left exactly as the scenario made them.
    static std::shared_ptr<SimStateFile> Attach(SimLibrary& library, const std::filesystem::path& path,
                                                std::string& error);

    // The whole state of the library's cards, as the file holds it.
    static nlohmann::json Capture(SimLibrary& library);
    // Checks the whole document against the library's cards, then applies it; throws
    // std::runtime_error before anything is applied when any part does not fit.
    static void Restore(const nlohmann::json& document, SimLibrary& library);

    // Writes the current state; false with error set when the file cannot be replaced.
    bool Save(std::string& error);
    const std::filesystem::path& Path() const { return path_; }

private:
    SimStateFile(SimLibrary& library, std::filesystem::path path);
    void SaveAfterChange();

    SimLibrary& library_;
    const std::filesystem::path path_;
    std::mutex saveMutex_;
    std::string lastWritten_;
    std::vector<SimCardState> lastCards_;  // what lastWritten_ was made from
    bool failureReported_ = false;
};

}  // namespace pyx::sim
