#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace pyx::test {

// Removes a folder and all it holds. The owner's rights over it are given back first (a test
// may have taken them away), and removal is tried again for up to two seconds before it
// throws: a Windows process that has ended may still hold its files for a moment (Wine closes
// them after the exit is signalled).
void RemoveFolder(const std::filesystem::path& folder);

// A fresh folder of its own under the temporary directory, removed with the object.
class TempFolder {
public:
    explicit TempFolder(const std::string& prefix = "pyx-test-");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // Writes a file in the folder, replacing what was there, and returns its path.
    std::filesystem::path Write(const std::string& name, const std::string& text) const;
    std::filesystem::path Write(const std::string& name, const std::vector<uint8_t>& bytes) const;

private:
    std::filesystem::path path_;
};

}  // namespace pyx::test
