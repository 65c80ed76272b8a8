#include "app/SettingsLocation.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <vector>

#include "app/TuningSettingsStore.h"

#ifndef _WIN32
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace pyx {

namespace fs = std::filesystem;

namespace {

#ifndef _WIN32

fs::path AbsoluteOrEmpty(const char* text) {
    if (text == nullptr || *text == '\0') return {};
    fs::path path(text);
    return path.is_absolute() ? path : fs::path();
}

// The XDG base-directory rule: $XDG_CONFIG_HOME when it is an absolute path, else
// $HOME/.config; the account's own home when HOME is not set.
fs::path ConfigHome() {
    if (fs::path xdg = AbsoluteOrEmpty(std::getenv("XDG_CONFIG_HOME")); !xdg.empty()) return xdg;
    fs::path home = AbsoluteOrEmpty(std::getenv("HOME"));
    if (home.empty()) {
        if (const passwd* account = ::getpwuid(::getuid())) home = AbsoluteOrEmpty(account->pw_dir);
    }
    return home.empty() ? fs::path() : home / ".config";
}

// A program that the system's package manager or an installer put in place: it lies under a
// system prefix, or this user may not write beside it.
bool LooksInstalled(const fs::path& programFolder) {
    if (programFolder.empty()) return false;
    std::error_code ec;
    const fs::path real = fs::weakly_canonical(programFolder, ec);
    const fs::path& folder = ec ? programFolder : real;
    auto part = folder.begin();
    if (part != folder.end() && *part == "/" && ++part != folder.end() && (*part == "usr" || *part == "opt"))
        return true;
    return ::access(folder.c_str(), W_OK) != 0;
}

#endif

}  // namespace

fs::path SettingsLocation::TuningFile() const { return folder / kTuningSettingsFileName; }
fs::path SettingsLocation::LedFile() const { return folder / kLedSettingsFileName; }
fs::path SettingsLocation::ProfileFolder() const { return folder / kProfileFolderName; }

SettingsLocation DecideSettingsLocation(const SettingsPlaceFacts& facts) {
    SettingsLocation location;
    location.folder = facts.programFolder;
    if (!facts.windows && facts.installed && !facts.configHome.empty()) {
        location.folder = facts.configHome / kConfigFolderName;
        location.userConfig = true;
    }
    if (facts.simulated) location.folder /= kSimulatedSettingsFolderName;
    location.simulated = facts.simulated;
    return location;
}

SettingsLocation SettingsLocationFor(const fs::path& programFolder, bool simulated) {
    SettingsPlaceFacts facts;
    facts.programFolder = programFolder;
    facts.simulated = simulated;
#ifdef _WIN32
    facts.windows = true;
#else
    facts.installed = LooksInstalled(programFolder);
    if (facts.installed) facts.configHome = ConfigHome();
#endif
    return DecideSettingsLocation(facts);
}

bool MakeSettingsFolder(const fs::path& folder, std::string& error) {
    if (folder.empty()) {
        error = "no settings folder";
        return false;
    }
    std::error_code ec;
    if (fs::is_directory(folder, ec)) return true;
    // Made from the top down so that each folder made here gets the private mode, not only
    // the last one.
    std::vector<fs::path> missing;
    for (fs::path at = folder; !at.empty() && !fs::exists(at, ec); at = at.parent_path()) {
        missing.push_back(at);
        if (at == at.parent_path()) break;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
#ifdef _WIN32
        if (!fs::create_directory(*it, ec) && ec) {
            error = it->string() + ": " + ec.message();
            return false;
        }
#else
        if (::mkdir(it->c_str(), 0700) != 0 && errno != EEXIST) {
            error = it->string() + ": " + std::strerror(errno);
            return false;
        }
#endif
    }
    if (!fs::is_directory(folder, ec)) {
        error = folder.string() + ": not a folder";
        return false;
    }
    return true;
}

}  // namespace pyx
