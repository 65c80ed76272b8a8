#pragma once
#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>

namespace pyx {

// Left in the settings folder while the stored settings are being put back on the cards.
inline constexpr char kReapplyMarkerFileName[] = "Reapply.inprogress";
inline constexpr std::string_view kReapplySkippedMessage =
    "The saved settings were not applied, because the last start that applied them did not finish. "
    "Apply them again, or load another profile.";

enum class ReapplyState {
    NotBegun,  // nothing to put back: no hardware, no settings file, or Begin not called yet
    Skipped,   // an earlier start never finished putting these settings back: nothing was applied
    Applying,  // the marker is down and the settings are going on, or went on without a word yet
    Landed,    // every write was taken (or the user chose after a skip): the marker goes after the delay
    Refused,   // a card refused a write: the marker stays until a clean exit
    Cleared,   // the marker is gone: the next start puts the settings back again
};

// What a marker says, for those who only look (pyxtunectl list).
struct ReapplyMarker {
    bool present = false;
    bool skipped = false;    // a start found it and put nothing back
    std::string startedAt;   // UTC, as written
};

// Keeps an overclock that brings the machine down from doing so at every log-on. Before the
// stored settings go back on the cards a marker goes down beside them; it goes away once the
// cards have run them for a while, or when the program ends cleanly. A start that finds one
// left behind puts nothing back and says so.
//
// The marker speaks for the settings file as it was when it went down (its size and a hash of
// its bytes): once the file holds other settings, they are put back under a marker of their own.
class ReapplyGuard {
public:
    using Clock = std::chrono::system_clock;
    static constexpr std::chrono::seconds kClearDelayS{60};

    ReapplyGuard() = default;
    explicit ReapplyGuard(std::filesystem::path settingsFolder, std::chrono::seconds clearDelayS = kClearDelayS);

    std::filesystem::path MarkerFile() const { return folder_ / kReapplyMarkerFileName; }

    // Whether settingsFile may be put back now. True: the marker is down (or could not be
    // written, which is said on standard error: a read-only folder must not cost the user
    // their settings). False: a start that put the same settings back never finished; the
    // marker stays, noting the skip. A file that cannot be read is let through without a
    // marker: there is nothing to put back.
    bool Begin(const std::filesystem::path& settingsFile, Clock::time_point now);
    // The put-back is over; a refusal keeps the marker until a clean exit.
    void Finished(bool refused, Clock::time_point now);
    // After a skip the user put settings of their own choosing on the cards: from here on as
    // after a put-back that every card took.
    void UserChose(Clock::time_point now);
    // Called now and then (the window's one-second timer): removes the marker once the delay
    // after a landed put-back has passed.
    void Tick(Clock::time_point now);
    // A clean exit: the marker this start left goes; a skip's stays for the next start.
    void End();

    ReapplyState State() const { return state_; }
    bool Skipped() const { return state_ == ReapplyState::Skipped; }

    static ReapplyMarker ReadMarker(const std::filesystem::path& settingsFolder);

private:
    bool Write(const std::string& text) const;
    void Remove();

    std::filesystem::path folder_;
    std::chrono::seconds clearDelayS_ = kClearDelayS;
    ReapplyState state_ = ReapplyState::NotBegun;
    Clock::time_point landedAt_{};
};

}  // namespace pyx
