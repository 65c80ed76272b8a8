#include "app/ReapplyGuard.h"

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>
#include <optional>
#include <span>
#include <sstream>
#include <system_error>
#include <vector>

#include "platform/FileReplacement.h"

namespace pyx {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kFirstLine = "re-apply in progress";
constexpr std::string_view kStartedKey = "started";
constexpr std::string_view kSettingsKey = "settings";
constexpr std::string_view kSkippedKey = "skipped";

std::string UtcText(ReapplyGuard::Clock::time_point when) {
    const std::time_t seconds = ReapplyGuard::Clock::to_time_t(when);
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &seconds);
#else
    gmtime_r(&seconds, &utc);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::optional<std::string> ReadAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Size and FNV-1a hash of the bytes: enough to tell whether the file still holds the settings
// a marker was left for. None for a file that cannot be read.
std::optional<std::string> Fingerprint(const fs::path& settingsFile) {
    const std::optional<std::string> bytes = ReadAll(settingsFile);
    if (!bytes) return std::nullopt;
    uint64_t hash = 14695981039346656037ull;
    for (const char c : *bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    char text[48];
    std::snprintf(text, sizeof text, "%zu %016llx", bytes->size(), static_cast<unsigned long long>(hash));
    return text;
}

// The value of the line "<key> <value>"; none when no line has that key.
std::optional<std::string> LineValue(const std::string& text, std::string_view key) {
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > key.size() && line.compare(0, key.size(), key) == 0 && line[key.size()] == ' ')
            return line.substr(key.size() + 1);
    }
    return std::nullopt;
}

std::string WithoutLine(const std::string& text, std::string_view key) {
    std::istringstream lines(text);
    std::string kept;
    for (std::string line; std::getline(lines, line);)
        if (!LineValue(line, key)) kept += line + "\n";
    return kept;
}

}  // namespace

ReapplyGuard::ReapplyGuard(fs::path settingsFolder, std::chrono::seconds clearDelayS)
    : folder_(std::move(settingsFolder)), clearDelayS_(clearDelayS) {}

bool ReapplyGuard::Begin(const fs::path& settingsFile, Clock::time_point now) {
    const std::optional<std::string> fingerprint = Fingerprint(settingsFile);
    std::error_code ec;
    if (!fingerprint) {
        // Nothing to put back, so nothing to skip either; a marker left for a file since gone
        // speaks for nothing.
        fs::remove(MarkerFile(), ec);
        state_ = ReapplyState::NotBegun;
        return true;
    }
    if (fs::exists(MarkerFile(), ec)) {
        // A marker that cannot be read, or names no settings, is taken at its word: the safe
        // side is the card as it starts.
        const std::optional<std::string> text = ReadAll(MarkerFile());
        const std::optional<std::string> leftFor = text ? LineValue(*text, kSettingsKey) : std::nullopt;
        if (!leftFor || *leftFor == *fingerprint) {
            state_ = ReapplyState::Skipped;
            // The skip is noted for pyxtunectl; the marker itself stays for the next start.
            if (text) Write(WithoutLine(*text, kSkippedKey) + std::string(kSkippedKey) + " " + UtcText(now) + "\n");
            return false;
        }
    }
    state_ = ReapplyState::Applying;
    if (!Write(std::string(kFirstLine) + "\n" + std::string(kStartedKey) + " " + UtcText(now) + "\n" +
               std::string(kSettingsKey) + " " + *fingerprint + "\n"))
        std::fprintf(stderr, "pyxtune: %s could not be written; a start after a crash will apply the settings again\n",
                     MarkerFile().string().c_str());
    return true;
}

void ReapplyGuard::Finished(bool refused, Clock::time_point now) {
    if (state_ != ReapplyState::Applying) return;
    state_ = refused ? ReapplyState::Refused : ReapplyState::Landed;
    landedAt_ = now;
}

void ReapplyGuard::UserChose(Clock::time_point now) {
    if (state_ != ReapplyState::Skipped) return;
    state_ = ReapplyState::Landed;
    landedAt_ = now;
}

void ReapplyGuard::Tick(Clock::time_point now) {
    if (state_ == ReapplyState::Landed && now - landedAt_ >= clearDelayS_) Remove();
}

void ReapplyGuard::End() {
    if (state_ == ReapplyState::Applying || state_ == ReapplyState::Landed || state_ == ReapplyState::Refused) Remove();
}

ReapplyMarker ReapplyGuard::ReadMarker(const fs::path& settingsFolder) {
    ReapplyMarker marker;
    std::error_code ec;
    const fs::path file = settingsFolder / kReapplyMarkerFileName;
    marker.present = fs::exists(file, ec);
    if (!marker.present) return marker;
    const std::string text = ReadAll(file).value_or("");
    marker.skipped = LineValue(text, kSkippedKey).has_value();
    marker.startedAt = LineValue(text, kStartedKey).value_or("");
    return marker;
}

bool ReapplyGuard::Write(const std::string& text) const {
    auto replacement = FileReplacement::Begin(MarkerFile());
    return replacement && replacement->Commit(std::as_bytes(std::span(text.data(), text.size())));
}

void ReapplyGuard::Remove() {
    std::error_code ec;
    fs::remove(MarkerFile(), ec);
    state_ = ReapplyState::Cleared;
}

}  // namespace pyx
