#include "app/SettingsLocation.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <utility>
#include <vector>

#include "app/CoreTexts.h"
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

#ifndef _WIN32
// Why the root, or a folder above it, would let another user swap the settings folder for a
// link while the program runs (by renaming what lies in it): it must be this user's or root's,
// and nobody else may write in it, unless it is sticky (/tmp), where nobody may rename another
// user's entries. Its own group may write in it when that group is this user's (a private
// group). Links on the way are followed: the folder that holds a link is examined as well.
std::optional<SettingsFolderRefusal> ExamineFolderAbove(const fs::path& folder) {
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return std::nullopt;  // made later, this user's alone
        return SettingsFolderRefusal{SettingsFolderFault::Unexamined, folder, 0, std::strerror(errno)};
    }
    if (info.st_uid != ::geteuid() && info.st_uid != 0)
        return SettingsFolderRefusal{SettingsFolderFault::OtherOwner, folder, info.st_uid, {}};
    const bool sticky = (info.st_mode & S_ISVTX) != 0;
    const bool groupMayWrite = (info.st_mode & S_IWGRP) != 0 && info.st_gid != ::getegid();
    if (!sticky && (groupMayWrite || (info.st_mode & S_IWOTH) != 0))
        return SettingsFolderRefusal{SettingsFolderFault::OthersMayWrite, folder, 0, {}};
    return std::nullopt;
}

std::optional<SettingsFolderRefusal> ExamineRootAndAbove(const fs::path& root) {
    std::error_code ec;
    const fs::path real = fs::weakly_canonical(root, ec);
    for (const fs::path& start : {root, ec ? root : real}) {
        for (fs::path at = start;; at = at.parent_path()) {
            if (auto refusal = ExamineFolderAbove(at)) return refusal;
            if (at == at.parent_path()) break;
        }
    }
    return std::nullopt;
}
#endif

// The folders from just below the root down to the chosen folder, top first.
std::vector<fs::path> FoldersBelowRoot(const SettingsLocation& location) {
    std::vector<fs::path> folders;
    fs::path at = location.root;
    for (const fs::path& part : location.chosen.lexically_relative(location.root)) {
        if (part.empty() || part == ".") continue;
        at /= part;
        folders.push_back(at);
    }
    return folders;
}

#ifndef _WIN32
// Windows' folders are judged by their access lists, which the installer sets; none of these
// faults is looked for there.
SettingsFolderRefusal Refused(SettingsFolderFault fault, const fs::path& where, unsigned long ownerUid = 0,
                              std::string systemReason = {}) {
    SettingsFolderRefusal refusal;
    refusal.fault = fault;
    refusal.where = where;
    refusal.ownerUid = ownerUid;
    refusal.systemReason = std::move(systemReason);
    return refusal;
}
#endif

// Why `folder` may not hold the settings; none when it may, or when it does not exist yet.
std::optional<SettingsFolderRefusal> ExamineFolder(const fs::path& folder) {
#ifdef _WIN32
    (void)folder;
    return std::nullopt;
#else
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0) {
        if (errno == ENOENT) return std::nullopt;
        return Refused(SettingsFolderFault::Unexamined, folder, 0, std::strerror(errno));
    }
    if (S_ISLNK(info.st_mode)) return Refused(SettingsFolderFault::Link, folder);
    if (!S_ISDIR(info.st_mode)) return Refused(SettingsFolderFault::NotFolder, folder);
    if (info.st_uid != ::geteuid()) return Refused(SettingsFolderFault::OtherOwner, folder, info.st_uid);
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) return Refused(SettingsFolderFault::OthersMayWrite, folder);
    return std::nullopt;
#endif
}

// One folder, this user's alone; one that exists already is fine here (ExamineFolder judges it).
bool MakeOneFolder(const fs::path& folder, std::string& error) {
#ifdef _WIN32
    std::error_code ec;
    if (!fs::create_directory(folder, ec) && ec) {
        error = folder.string() + ": " + ec.message();
        return false;
    }
#else
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        error = folder.string() + ": " + std::strerror(errno);
        return false;
    }
#endif
    return true;
}

// The folder and every missing folder above it, from the top down so that each folder made
// here gets the private mode, not only the last one.
bool MakeFolderWithParents(const fs::path& folder, std::string& error) {
    std::error_code ec;
    if (fs::is_directory(folder, ec)) return true;
    std::vector<fs::path> missing;
    for (fs::path at = folder; !at.empty() && !fs::exists(at, ec); at = at.parent_path()) {
        missing.push_back(at);
        if (at == at.parent_path()) break;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it)
        if (!MakeOneFolder(*it, error)) return false;
    if (!fs::is_directory(folder, ec)) {
        error = folder.string() + ": not a folder";
        return false;
    }
    return true;
}

}  // namespace

std::string SettingsFolderRefusal::Text() const {
    const std::u8string name = where.u8string();
    const std::string_view folder(reinterpret_cast<const char*>(name.data()), name.size());
    switch (fault) {
    case SettingsFolderFault::NoPlace:
        return std::string(CoreTexts::Text(kSettingsNoPlaceText));
    case SettingsFolderFault::Link:
        return CoreTexts::Format(kSettingsLinkText, {folder});
    case SettingsFolderFault::NotFolder:
        return CoreTexts::Format(kSettingsNotFolderText, {folder});
    case SettingsFolderFault::OtherOwner:
        return CoreTexts::Format(kSettingsOtherOwnerText, {folder, std::to_string(ownerUid)});
    case SettingsFolderFault::OthersMayWrite:
        return CoreTexts::Format(kSettingsOthersMayWriteText, {folder});
    case SettingsFolderFault::Unexamined:
        return CoreTexts::Format(kSettingsUnexaminedText, {folder, systemReason});
    }
    return std::string(CoreTexts::Text(kSettingsNoPlaceText));
}

std::optional<fs::path> SettingsLocation::Folder() const {
    if (refusal) return std::nullopt;
    return chosen;
}

std::optional<fs::path> SettingsLocation::File(std::string_view name) const {
    if (refusal) return std::nullopt;
    return chosen / fs::path(name);
}

std::optional<fs::path> SettingsLocation::TuningFile() const { return File(kTuningSettingsFileName); }
std::optional<fs::path> SettingsLocation::LedFile() const { return File(kLedSettingsFileName); }
std::optional<fs::path> SettingsLocation::ProfileFolder() const { return File(kProfileFolderName); }

std::string SettingsLocation::WhyNotUsed() const { return refusal ? refusal->Text() : std::string(); }

SettingsLocation DecideSettingsLocation(const SettingsPlaceFacts& facts) {
    SettingsLocation location;
    location.chosen = facts.programFolder;
    if (!facts.windows && facts.installed && !facts.configHome.empty()) {
        location.chosen = facts.configHome / kConfigFolderName;
        location.userConfig = true;
    }
    location.root = location.userConfig ? facts.configHome : facts.programFolder;
    if (facts.simulated) location.chosen /= kSimulatedSettingsFolderName;
    location.simulated = facts.simulated;
    return location;
}

std::optional<SettingsFolderRefusal> CheckSettingsFolder(const SettingsLocation& location) {
    // A relative folder would be the working folder's, whatever that is at the time.
    if (!location.chosen.is_absolute() || !location.root.is_absolute()) return SettingsFolderRefusal{};
    for (const fs::path& folder : FoldersBelowRoot(location))
        if (auto refusal = ExamineFolder(folder)) return refusal;
#ifndef _WIN32
    // Checked once, the folders below the root stay as they were only if nobody else can
    // rename what lies above them.
    if (auto refusal = ExamineRootAndAbove(location.root)) return refusal;
#endif
    return std::nullopt;
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
    SettingsLocation location = DecideSettingsLocation(facts);
    location.refusal = CheckSettingsFolder(location);
    return location;
}

bool MakeSettingsFolder(SettingsLocation& location, std::string& error) {
    if (!location.refusal) location.refusal = CheckSettingsFolder(location);
    if (location.refusal) {
        error = location.refusal->Text();
        return false;
    }
    // The root and what lies above it are the user's to arrange: links there are followed.
    if (!MakeFolderWithParents(location.root, error)) return false;
    for (const fs::path& folder : FoldersBelowRoot(location)) {
        if (!MakeOneFolder(folder, error)) {
            // A folder that could not be made because something else stands there is refused,
            // not merely reported: whatever it is, it is not this program's.
            if (auto refusal = ExamineFolder(folder)) {
                location.refusal = refusal;
                error = refusal->Text();
            }
            return false;
        }
        // Examined before anything is made inside it: a link planted since the check is never
        // followed.
        if (auto refusal = ExamineFolder(folder)) {
            location.refusal = refusal;
            error = refusal->Text();
            return false;
        }
    }
    return true;
}

}  // namespace pyx
