#include "gpu/linux/LinuxNvApiSource.h"

#include <dlfcn.h>
#include <sys/stat.h>

namespace pyx {

namespace fs = std::filesystem;

LinuxNvApiSource::LinuxNvApiSource() : LinuxNvApiSource(SystemLibraryFolders()) {}

LinuxNvApiSource::LinuxNvApiSource(std::vector<fs::path> trustedFolders)
    : trustedFolders_(std::move(trustedFolders)) {}

LinuxNvApiSource::~LinuxNvApiSource() { Close(); }

std::vector<fs::path> LinuxNvApiSource::SystemLibraryFolders() {
    // The folders the driver's packages install into, multiarch first.
#if defined(__x86_64__)
    const char* multiarch = "x86_64-linux-gnu";
#elif defined(__aarch64__)
    const char* multiarch = "aarch64-linux-gnu";
#elif defined(__i386__)
    const char* multiarch = "i386-linux-gnu";
#else
    const char* multiarch = "";
#endif
    std::vector<fs::path> folders;
    if (*multiarch) {
        folders.push_back(fs::path("/usr/lib") / multiarch);
        folders.push_back(fs::path("/lib") / multiarch);
    }
    for (const char* f : {"/usr/lib64", "/lib64", "/usr/lib", "/lib", "/usr/lib/nvidia"})
        folders.emplace_back(f);
    return folders;
}

namespace {

// Only a regular file (after links) inside one of the trusted folders, owned by root and
// writable by nobody else, is loaded.
bool IsTrustedFile(const fs::path& candidate, const std::vector<fs::path>& trustedFolders) {
    std::error_code ec;
    const fs::path real = fs::canonical(candidate, ec);
    if (ec || !fs::is_regular_file(real, ec)) return false;
    struct stat info {};
    if (::stat(real.c_str(), &info) != 0) return false;
    if (info.st_uid != 0 || (info.st_mode & (S_IWGRP | S_IWOTH)) != 0) return false;
    for (const auto& folder : trustedFolders) {
        const fs::path realFolder = fs::canonical(folder, ec);
        if (ec) continue;
        if (real.parent_path() == realFolder) return true;
    }
    return false;
}

}  // namespace

fs::path LinuxNvApiSource::Locate() const {
    for (const auto& folder : trustedFolders_) {
        if (!folder.is_absolute()) continue;
        const fs::path candidate = folder / kLibraryName;
        std::error_code ec;
        if (fs::exists(candidate, ec) && IsTrustedFile(candidate, trustedFolders_)) return candidate;
    }
    return {};
}

NvStatus LinuxNvApiSource::Open(NvQueryInterfaceFn& queryInterface) {
    Close();
    const fs::path path = Locate();
    if (path.empty()) return kNvLibraryNotFound;
    // An absolute path: the dynamic loader does not search anywhere else.
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) return kNvLibraryNotFound;
    void* entry = ::dlsym(module, "nvapi_QueryInterface");
    if (entry == nullptr) {
        ::dlclose(module);
        return kNvFailed;
    }
    module_ = module;
    loadedPath_ = path;
    queryInterface = reinterpret_cast<NvQueryInterfaceFn>(entry);
    return kNvOk;
}

void LinuxNvApiSource::Close() {
    if (module_ != nullptr) ::dlclose(module_);
    module_ = nullptr;
    loadedPath_.clear();
}

std::string LinuxNvApiSource::Describe() const {
    if (!loadedPath_.empty()) return loadedPath_.string();
    const fs::path found = Locate();
    return found.empty() ? std::string(kLibraryName) + " (not found)" : found.string();
}

}  // namespace pyx
