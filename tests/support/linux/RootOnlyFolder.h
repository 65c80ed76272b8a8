#pragma once
#include <filesystem>
#include <optional>
#include <string>

namespace pyx::test {

// A fresh folder that only root can write, with every folder above it root's alone: what a
// test needs to stand for "/" or a system library folder, which the program trusts only when
// nobody else could have planted a file there. The clone (and its build tree) may lie under
// /tmp, which everyone can write, so the folder is made under a root-owned place instead and
// removed with the object. Only root can make one; Make says why not otherwise.
class RootOnlyFolder {
public:
    static std::optional<RootOnlyFolder> Make(std::string& whyNot);
    ~RootOnlyFolder();
    RootOnlyFolder(RootOnlyFolder&& other) noexcept;
    RootOnlyFolder& operator=(RootOnlyFolder&& other) noexcept;
    RootOnlyFolder(const RootOnlyFolder&) = delete;
    RootOnlyFolder& operator=(const RootOnlyFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }

private:
    explicit RootOnlyFolder(std::filesystem::path path) : path_(std::move(path)) {}
    std::filesystem::path path_;
};

}  // namespace pyx::test
