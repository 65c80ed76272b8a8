#pragma once
#include <filesystem>
#include <string>
#include <vector>

#include "gpu/DriverText.h"
#include "gpu/LibrarySource.h"
#include "gpu/linux/TrustedLibraryLocator.h"

namespace pyx {

// The NVIDIA Linux driver's NvAPI library (libnvidia-api.so.1, driver 525 and later), loaded
// by absolute path from a trusted system folder only (see TrustedLibraryLocator), so neither
// the program's folder, the current directory nor LD_LIBRARY_PATH can put another copy in
// its place.
class LinuxNvApiSource : public LibrarySource {
public:
    static constexpr const char* kLibraryName = "libnvidia-api.so.1";

    LinuxNvApiSource();
    explicit LinuxNvApiSource(LibraryTrust trust);
    // For tests: the folders that count as the system's, owned by root.
    explicit LinuxNvApiSource(std::vector<std::filesystem::path> trustedFolders);
    ~LinuxNvApiSource() override;

    static std::vector<std::filesystem::path> SystemLibraryFolders();
    // The resolved file of the first trusted copy of the library, or an empty path.
    std::filesystem::path Locate() const;

    NvStatus Open(NvQueryInterfaceFn& queryInterface) override;
    void Close() override;
    std::string BackendName() const override { return "nvapi"; }
    std::string Describe() const override;
    bool Present() const override { return !Locate().empty(); }
    LibraryOutcome Probe() const override;
    // NvAPI_GPU_GetFullName's answer while the library is open; none before or after.
    std::optional<std::string> CardName(void* gpuHandle) const override;

private:
    TrustedLibraryLocator locator_;
    void* module_ = nullptr;
    NvGetFullNameFn getFullName_ = nullptr;
    std::filesystem::path loadedPath_;
    // Set when a trusted file could not be loaded or lacked the entry point.
    std::string openFailure_;
    std::filesystem::path failedPath_;
};

}  // namespace pyx
