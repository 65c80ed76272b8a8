#include "tests/support/linux/OtherUserRig.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "tests/support/FileText.h"

namespace pyx::test {

namespace fs = std::filesystem;

namespace {
constexpr uid_t kNobody = 65534;
}

OtherUserRig::OtherUserRig()
    : shared_("pyx-shared-"), private_("pyx-roots-"), rootsFile_(private_.Path() / "roots.txt") {}

std::unique_ptr<OtherUserRig> OtherUserRig::Make(std::string& whyNot) {
    if (::geteuid() != 0) {
        whyNot = "only root can act as another user (running as uid " + std::to_string(::geteuid()) + ")";
        return nullptr;
    }
    std::unique_ptr<OtherUserRig> rig(new OtherUserRig());
    ::chmod(rig->Shared().c_str(), 01777);
    ::chmod(rig->private_.Path().c_str(), 0700);
    std::ofstream(rig->rootsFile_, std::ios::binary) << kRootsText;
    ::chmod(rig->rootsFile_.c_str(), 0600);
    const fs::path shared = rig->Shared();
    if (!rig->AsOtherUser([&] { return ::access(shared.c_str(), W_OK | X_OK) == 0; })) {
        whyNot = "user " + std::to_string(kNobody) + " cannot reach " + shared.string() +
                 " (a temporary directory of root's alone?)";
        return nullptr;
    }
    return rig;
}

bool OtherUserRig::RootsFileUntouched() const {
    struct stat info {};
    return FileText(rootsFile_) == kRootsText && ::lstat(rootsFile_.c_str(), &info) == 0 && info.st_uid == 0 &&
           (info.st_mode & 07777) == 0600;
}

bool OtherUserRig::AsOtherUser(const std::function<bool()>& step) const {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(99);
        ::_exit(step() ? 0 : 1);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool OtherUserRig::PlantLinks(const std::vector<std::string>& names) const {
    return AsOtherUser([&] {
        for (const std::string& name : names)
            if (::symlink(rootsFile_.c_str(), (Shared() / name).c_str()) != 0) return false;
        return true;
    });
}

bool OtherUserRig::PlantFile(const std::string& name, const std::string& text) const {
    return AsOtherUser([&] {
        std::ofstream out(Shared() / name, std::ios::binary);
        out << text;
        out.close();
        return static_cast<bool>(out);
    });
}

}  // namespace pyx::test
