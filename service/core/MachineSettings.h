#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/AppState.h"
#include "app/ReapplyGuard.h"
#include "gpu/GpuBoardTable.h"

namespace pyx {

// The machine's tuning as the service keeps it: "Preformance.txt" in the service's own folder,
// written by nobody else, and put back on the cards at the service's start, after a resume and
// after a driver reload, each time behind the loop guard that keeps a tuning that brought the
// machine down from doing so again.
class MachineSettings {
public:
    // No folder: nothing is kept or put back (a service started by hand for a test).
    MachineSettings(GpuBoardTable& boards, AppState& state, std::optional<std::filesystem::path> folder);

    bool Kept() const { return folder_.has_value(); }
    // The cards' state as the settings file; false with why.
    bool Save(std::string& why);
    // The lighting, in the same form, as "Led.txt" keeps it for the next start; false with why.
    bool SaveLighting(std::string& why);
    // Where the lighting is kept; none when nothing is.
    std::optional<std::filesystem::path> LightingFile() const;
    // The service's own choice, kept in "Service.json" beside the settings: whether the effects
    // the program animates run on once the client that ordered them has gone (the window
    // closed). On unless a client turned it off.
    bool KeepsLighting() const { return keepLighting_; }
    // Changed, and kept for the next start; false with why when it could not be kept (it holds
    // for this run all the same).
    bool SetKeepsLighting(bool keep, std::string& why);
    // The stored settings back on the cards: what happened, as lines for the service's log.
    std::vector<std::string> Reapply(std::string_view occasion);
    // Once a second: the guard's marker goes once the cards have run the settings a while.
    void Tick();
    // Whether a put-back's marker waits for that while to pass.
    bool Settling() const { return folder_.has_value() && guard_.State() == ReapplyState::Landed; }
    // A clean end: the marker this run left goes.
    void End();

private:
    bool Write(const char* fileName, std::string& why);

    GpuBoardTable& boards_;
    AppState& state_;
    std::optional<std::filesystem::path> folder_;
    ReapplyGuard guard_;
    bool keepLighting_ = true;
};

}  // namespace pyx
