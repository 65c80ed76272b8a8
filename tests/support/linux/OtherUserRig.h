#pragma once
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/TempFolder.h"

namespace pyx::test {

// Another local user ("nobody") against root, who runs the code under test: a folder both
// may write, sticky as /tmp is, where the other user plants names before root writes there,
// and a file of root's alone (mode 0600, out of the other user's reach) that a link planted
// there may point at. Whether that file is still as it was tells whether root wrote through
// a link. Only root can switch to another user; Make says why not otherwise.
class OtherUserRig {
public:
    static constexpr const char* kRootsText = "root's own, not to be overwritten\n";

    static std::unique_ptr<OtherUserRig> Make(std::string& whyNot);

    // The shared folder.
    const std::filesystem::path& Shared() const { return shared_.Path(); }
    // Root's own file.
    const std::filesystem::path& RootsFile() const { return rootsFile_; }
    bool RootsFileUntouched() const;

    // As the other user, in a process of its own: a link to root's file at each name (relative
    // to the shared folder). False when any could not be made.
    bool PlantLinks(const std::vector<std::string>& names) const;
    // As the other user: a plain file of theirs at `name`, holding `text`.
    bool PlantFile(const std::string& name, const std::string& text) const;

private:
    OtherUserRig();
    // Runs `step` in a child process that has become the other user; true when it succeeded.
    bool AsOtherUser(const std::function<bool()>& step) const;

    TempFolder shared_;
    TempFolder private_;
    std::filesystem::path rootsFile_;
};

}  // namespace pyx::test
