#pragma once
#include <filesystem>
#include <memory>
#include <string_view>

namespace pyx {

// A folder of its own under the system's temporary folder, with a name nobody can guess and
// room for this user only (0700; on Windows an access list naming this user alone), removed with everything in it when the object goes. The
// video-BIOS reader runs in one, so its dump never lands in the program folder or in a
// predictable place another user could prepare.
//
// The name is "<prefix><process id>-<random>", so a folder whose process was killed before it
// could remove it is known as a leftover: the next Make with the same prefix removes it.
class PrivateTempFolder {
public:
    // Null when no such folder could be made. The prefix's leftovers go first (RemoveLeftovers).
    static std::unique_ptr<PrivateTempFolder> Make(const char* prefix);

    // Removes the folders named "<prefix><pid>-..." directly in `base` whose process has ended
    // and that belong to this user. A link is never followed nor removed, another user's folder
    // is left alone, and so is one whose process runs or whose name tells no process.
    static void RemoveLeftovers(const std::filesystem::path& base, std::string_view prefix);
    ~PrivateTempFolder();
    PrivateTempFolder(const PrivateTempFolder&) = delete;
    PrivateTempFolder& operator=(const PrivateTempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }

    // Where a reader must look when no such folder could be made: a folder named below a
    // plain file, which can never exist, so nothing is ever read from or removed there.
    static std::filesystem::path Nowhere(const std::filesystem::path& plainFile);

private:
    explicit PrivateTempFolder(std::filesystem::path path) : path_(std::move(path)) {}

    std::filesystem::path path_;
};

}  // namespace pyx
