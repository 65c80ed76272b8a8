#pragma once
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "platform/FileLock.h"
#include "sim/SimLibrary.h"
#include "sim/SimStateFileCard.h"

namespace pyx::sim {

// Keeps the simulated cards' state in a file, as a real card keeps its settings while programs
// come and go, and shares it between the programs that run at the same time, as one real card
// is shared: before every change a program reads what the file holds now, and the change goes
// back to the file before the next program may make one. Each write is whole and in one step
// (FileReplacement), so a reader never finds half a state. Reads find another program's
// change once the file's stamp shows it, at the cost of one look at the stamp per operation.
class SimStateFile {
public:
    // Loads path into the library's cards (a missing or empty file: the cards start as the
    // scenario made them), writes the file once and from then on keeps the cards and the file
    // in step around every operation the library runs. On failure returns null with error
    // naming the file and what is wrong; the cards are then left exactly as the scenario made
    // them.
    static std::shared_ptr<SimStateFile> Attach(SimLibrary& library, const std::filesystem::path& path,
                                                std::string& error);

    // The whole state of the library's cards, as the file holds it.
    static nlohmann::json Capture(SimLibrary& library);
    // Checks the whole document against the library's cards, then applies it; throws
    // std::runtime_error before anything is applied when any part does not fit.
    static void Restore(const nlohmann::json& document, SimLibrary& library);

    // The lock file the programs sharing `path` take turns on: "<path>.lock".
    static std::filesystem::path LockPathFor(const std::filesystem::path& path);

    const std::filesystem::path& Path() const { return path_; }

private:
    SimStateFile(SimLibrary& library, std::filesystem::path path, std::unique_ptr<FileLock> lock);

    // Around the library's operations (SimLibrary::SetOperationListener).
    bool BeforeOperation(bool changesCard);
    void AfterChange();

    // These run with mutex_ and the file lock held.
    // Brings the cards in line with the file when another program has changed it.
    bool Reload(std::string& error);
    // Writes the cards' state when it differs from what the file holds.
    bool Save(std::string& error);
    void RememberStamp();

    // Tells that the file and the cards are out of step, once for as long as the same trouble
    // lasts; the program goes on.
    void Report(const std::string& error);

    SimLibrary& library_;
    const std::filesystem::path path_;
    const std::unique_ptr<FileLock> lock_;
    // Held from before a change until it is in the file: one change at a time in this process
    // (the file lock keeps other processes out; it is the process's, not a thread's).
    std::mutex mutex_;
    bool fileLocked_ = false;
    std::string lastText_;                 // what the file held when last read or written
    std::vector<SimCardState> lastCards_;  // the cards as they were then
    std::mutex stampMutex_;
    std::string stamp_;  // the file's stamp then; another one means another program wrote it
    std::mutex reportMutex_;
    std::string lastReport_;
};

}  // namespace pyx::sim
