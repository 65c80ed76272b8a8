#include "tests/support/linux/RootOnlyFolder.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "gpu/linux/TrustedLibraryLocator.h"

namespace pyx::test {

namespace fs = std::filesystem;

std::optional<RootOnlyFolder> RootOnlyFolder::Make(std::string& whyNot) {
    if (::geteuid() != 0) {
        whyNot = "only root can make a folder that nobody else can write (running as uid " +
                 std::to_string(::geteuid()) + ")";
        return std::nullopt;
    }
    whyNot.clear();
    // /run is root's on every systemd machine; the others for machines without it.
    for (const char* place : {"/run", "/var/lib", "/root"}) {
        if (const std::string why = LibraryTrust::WhyRootUntrusted(place); !why.empty()) {
            whyNot += (whyNot.empty() ? "" : "; ") + why;
            continue;
        }
        std::string name = std::string(place) + "/pyx-test-XXXXXX";
        std::vector<char> buffer(name.begin(), name.end());
        buffer.push_back('\0');
        if (::mkdtemp(buffer.data()) == nullptr) {
            whyNot += (whyNot.empty() ? "" : "; ") + name + ": " + std::strerror(errno);
            continue;
        }
        RootOnlyFolder folder{fs::path(buffer.data())};
        // Readable by all, as a system folder is; written by root alone.
        fs::permissions(folder.path_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                          fs::perms::others_read | fs::perms::others_exec);
        return folder;
    }
    return std::nullopt;
}

RootOnlyFolder::RootOnlyFolder(RootOnlyFolder&& other) noexcept : path_(std::move(other.path_)) {
    other.path_.clear();
}

RootOnlyFolder& RootOnlyFolder::operator=(RootOnlyFolder&& other) noexcept {
    std::swap(path_, other.path_);  // the other's end removes what this one held
    return *this;
}

RootOnlyFolder::~RootOnlyFolder() {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
}

}  // namespace pyx::test
