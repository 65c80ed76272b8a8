#pragma once
#include <filesystem>
#include <string>
#include <vector>

#include "gpu/LibrarySource.h"

namespace pyx {

// The NVIDIA Linux driver's NvAPI library (libnvidia-api.so.1, driver 525 and later).
// It is looked for only in the system's library folders, by absolute path, so neither the
// program's folder, the current directory nor LD_LIBRARY_PATH can put another copy in its
// place; a file that anyone but root could have written is refused as well.
class LinuxNvApiSource : public LibrarySource {
public:
    static constexpr const char* kLibraryName = "libnvidia-api.so.1";

    LinuxNvApiSource();
    // For tests: the folders that count as the system's.
    explicit LinuxNvApiSource(std::vector<std::filesystem::path> trustedFolders);
    ~LinuxNvApiSource() override;

    static std::vector<std::filesystem::path> SystemLibraryFolders();
    // The first trusted copy of the library, or an empty path.
    std::filesystem::path Locate() const;

    NvStatus Open(NvQueryInterfaceFn& queryInterface) override;
    void Close() override;
    std::string BackendName() const override { return "nvapi"; }
    std::string Describe() const override;
    bool Present() const override { return !Locate().empty(); }

private:
    std::vector<std::filesystem::path> trustedFolders_;
    void* module_ = nullptr;
    std::filesystem::path loadedPath_;
};

}  // namespace pyx
