#include "gpu/linux/TrustedLibraryLocator.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <utility>

namespace pyx {

namespace fs = std::filesystem;

namespace {

std::vector<fs::path> SystemFolderNames() {
#if defined(__x86_64__)
    const char* multiarch = "x86_64-linux-gnu";
#elif defined(__aarch64__)
    const char* multiarch = "aarch64-linux-gnu";
#elif defined(__i386__)
    const char* multiarch = "i386-linux-gnu";
#else
    const char* multiarch = "";
#endif
    // Multiarch first (Debian, Ubuntu), then the 64-bit folders (Fedora, openSUSE, NVIDIA's
    // own installer there), then the plain ones (Arch, NVIDIA's installer elsewhere).
    std::vector<fs::path> folders;
    if (*multiarch) {
        folders.push_back(fs::path("/usr/lib") / multiarch);
        folders.push_back(fs::path("/lib") / multiarch);
    }
    for (const char* f : {"/usr/lib64", "/lib64", "/usr/lib", "/lib"}) folders.emplace_back(f);
    return folders;
}

// One folder or file of the chain: owned by `owner`, writable by nobody else.
std::optional<std::string> WhyNotOwnersOnly(const fs::path& path, uid_t owner) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return path.string() + " cannot be examined";
    if (info.st_uid != owner)
        return path.string() + " belongs to user " + std::to_string(info.st_uid) + ", not " +
               (owner == 0 ? std::string("root") : "user " + std::to_string(owner));
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) return path.string() + " can be written by users other than its owner";
    return std::nullopt;
}

bool IsWithin(const fs::path& path, const fs::path& folder) {
    auto p = path.begin();
    for (auto f = folder.begin(); f != folder.end(); ++f, ++p) {
        if (f->empty()) continue;  // a trailing separator
        if (p == path.end() || *p != *f) return false;
    }
    return p != path.end();
}

}  // namespace

LibraryTrust LibraryTrust::System() { return {SystemFolderNames(), 0}; }

LibraryTrust LibraryTrust::UnderRoot(const fs::path& root, uid_t owner) {
    LibraryTrust trust{{}, owner};
    for (const fs::path& folder : SystemFolderNames()) trust.systemFolders.push_back(root / folder.relative_path());
    return trust;
}

namespace {

// The root resolved once, and why it cannot stand for "/" (empty when it can).
std::pair<fs::path, std::string> ResolveRoot(const fs::path& root) {
    if (!root.is_absolute()) return {{}, root.string() + " is not an absolute path"};
    std::error_code ec;
    fs::path real = fs::canonical(root, ec);
    if (ec) return {{}, root.string() + " does not exist"};
    // Each folder of the resolved path, examined without following it: a folder swapped for a
    // link since the resolution shows as a link, and fails. A chain that passes is root's
    // alone, so nobody else can change it between this check and the use of the same path.
    fs::path walked = "/";
    if (auto why = WhyNotOwnersOnly(walked, 0)) return {{}, *why};
    for (const auto& part : real.relative_path()) {
        walked /= part;
        if (auto why = WhyNotOwnersOnly(walked, 0)) return {{}, *why};
    }
    return {real, {}};
}

}  // namespace

std::string LibraryTrust::WhyRootUntrusted(const fs::path& root) { return ResolveRoot(root).second; }

LibraryTrust LibraryTrust::FromEnvironment(std::string* ignored) {
    const char* root = std::getenv("PYXTUNE_LIBRARY_ROOT");
    if (root == nullptr || *root == '\0') return System();
    // Resolved once: the path checked is the path used.
    const auto [real, why] = ResolveRoot(root);
    if (why.empty()) return UnderRoot(real);
    if (ignored) *ignored = "PYXTUNE_LIBRARY_ROOT ignored: " + why;
    return System();
}

std::optional<std::string> TrustedLibraryLocator::WhyUntrusted(const fs::path& resolved) const {
    std::error_code ec;
    if (!fs::is_regular_file(fs::symlink_status(resolved, ec))) return resolved.string() + " is not a regular file";
    // The outermost system folder holding the file: every folder below it is checked.
    std::optional<fs::path> holder;
    for (const fs::path& folder : trust_.systemFolders) {
        if (!folder.is_absolute()) continue;
        const fs::path real = fs::canonical(folder, ec);
        if (ec) continue;
        if (IsWithin(resolved, real) && (!holder || IsWithin(*holder, real))) holder = real;
    }
    if (!holder) return resolved.string() + " lies outside the system library folders";
    fs::path walked = *holder;
    if (auto why = WhyNotOwnersOnly(walked, trust_.owner)) return why;
    const fs::path rest = resolved.lexically_relative(*holder);
    for (const auto& part : rest) {
        walked /= part;
        if (auto why = WhyNotOwnersOnly(walked, trust_.owner)) return why;
    }
    return std::nullopt;
}

LibraryOutcome TrustedLibraryLocator::Locate(const std::string& name) const {
    std::optional<LibraryOutcome> refused;
    if (name.empty() || name.find('/') != std::string::npos) return LibraryOutcome::NotInstalledOutcome(name);
    for (const fs::path& folder : trust_.systemFolders) {
        // A relative folder would be the current directory by another name.
        if (!folder.is_absolute()) continue;
        const fs::path candidate = folder / name;
        std::error_code ec;
        if (!fs::exists(fs::symlink_status(candidate, ec))) continue;
        const fs::path resolved = fs::canonical(candidate, ec);
        std::optional<std::string> why;
        if (ec)
            why = candidate.string() + " is a link that leads nowhere";
        else
            why = WhyUntrusted(resolved);
        if (!why) return LibraryOutcome::ReadyOutcome(name, resolved.string());
        if (!refused) refused = LibraryOutcome::RefusedOutcome(name, ec ? candidate.string() : resolved.string(), *why);
    }
    return refused ? *refused : LibraryOutcome::NotInstalledOutcome(name);
}

}  // namespace pyx
