#pragma once
#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "gpu/LibraryOutcome.h"

namespace pyx {

// Where driver libraries may come from, and who must own them.
struct LibraryTrust {
    // Absolute folders the distributions install libraries into; a library may lie anywhere
    // below one of them (Debian keeps the driver's in nvidia/current/ behind a link).
    std::vector<std::filesystem::path> systemFolders;
    // The only owner accepted for the file and the folders down to it.
    uid_t owner = 0;

    // The running system's library folders, owned by root.
    static LibraryTrust System();
    // The same folders below `root` (a copy of a system tree, as tests unpack one).
    static LibraryTrust UnderRoot(const std::filesystem::path& root, uid_t owner = 0);
    // PYXTUNE_LIBRARY_ROOT names a folder that stands for "/" when the libraries are looked
    // for (a driver unpacked elsewhere). It counts only when that folder and every folder
    // above it belong to root and nobody else can write them, so it cannot lead to a file a
    // user could have placed; otherwise the system folders are used and `ignored` says why.
    static LibraryTrust FromEnvironment(std::string* ignored = nullptr);
    // Why `root` may not stand for "/"; empty when it may.
    static std::string WhyRootUntrusted(const std::filesystem::path& root);
};

// Finds a library by file name in the trusted folders, by absolute path only: the program's
// folder, the current directory and LD_LIBRARY_PATH never take part. A copy is trusted when,
// after every link (links may pass through /etc/alternatives; where they end counts), the file
// lies below a system folder and the file and every folder from that system folder down to
// it belong to the trusted owner and nobody else may write them.
class TrustedLibraryLocator {
public:
    explicit TrustedLibraryLocator(LibraryTrust trust) : trust_(std::move(trust)) {}

    // Ready with the resolved path of the first trusted copy; else Refused with the reason
    // the first copy found was refused; else NotInstalled.
    LibraryOutcome Locate(const std::string& name) const;
    // Why the resolved file may not be loaded; none when it may.
    std::optional<std::string> WhyUntrusted(const std::filesystem::path& resolved) const;

    const LibraryTrust& Trust() const { return trust_; }

private:
    LibraryTrust trust_;
};

}  // namespace pyx
