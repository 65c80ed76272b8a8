#include "gpu/linux/LinuxNvApiSource.h"

#include <dlfcn.h>

namespace pyx {

namespace fs = std::filesystem;

LinuxNvApiSource::LinuxNvApiSource() : LinuxNvApiSource(LibraryTrust::FromEnvironment()) {}

LinuxNvApiSource::LinuxNvApiSource(LibraryTrust trust) : locator_(std::move(trust)) {}

LinuxNvApiSource::LinuxNvApiSource(std::vector<fs::path> trustedFolders)
    : locator_(LibraryTrust{std::move(trustedFolders), 0}) {}

LinuxNvApiSource::~LinuxNvApiSource() { Close(); }

std::vector<fs::path> LinuxNvApiSource::SystemLibraryFolders() { return LibraryTrust::System().systemFolders; }

fs::path LinuxNvApiSource::Locate() const {
    const LibraryOutcome found = locator_.Locate(kLibraryName);
    return found.state == LibraryState::Ready ? fs::path(found.path) : fs::path();
}

LibraryOutcome LinuxNvApiSource::Probe() const {
    if (!loadedPath_.empty()) return LibraryOutcome::ReadyOutcome(kLibraryName, loadedPath_.string());
    if (!openFailure_.empty()) return LibraryOutcome::RefusedOutcome(kLibraryName, failedPath_.string(), openFailure_);
    return locator_.Locate(kLibraryName);
}

NvStatus LinuxNvApiSource::Open(NvQueryInterfaceFn& queryInterface) {
    Close();
    openFailure_.clear();
    const fs::path path = Locate();
    if (path.empty()) return kNvLibraryNotFound;
    // The resolved absolute path: the dynamic loader searches nowhere else, and a link
    // changed after the check cannot redirect it.
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        const char* error = ::dlerror();
        openFailure_ = std::string("it cannot be loaded: ") + (error ? error : "unknown error");
        failedPath_ = path;
        return kNvLibraryNotFound;
    }
    void* entry = ::dlsym(module, "nvapi_QueryInterface");
    if (entry == nullptr) {
        ::dlclose(module);
        openFailure_ = "it has no nvapi_QueryInterface";
        failedPath_ = path;
        return kNvFailed;
    }
    module_ = module;
    loadedPath_ = path;
    queryInterface = reinterpret_cast<NvQueryInterfaceFn>(entry);
    getFullName_ = reinterpret_cast<NvGetFullNameFn>(queryInterface(kIdGetFullName));
    return kNvOk;
}

void LinuxNvApiSource::Close() {
    if (module_ != nullptr) ::dlclose(module_);
    module_ = nullptr;
    getFullName_ = nullptr;
    loadedPath_.clear();
}

std::optional<std::string> LinuxNvApiSource::CardName(void* gpuHandle) const {
    return DriverText::FullName(getFullName_, gpuHandle);
}

std::string LinuxNvApiSource::Describe() const {
    if (!loadedPath_.empty()) return loadedPath_.string();
    return Probe().Message();
}

}  // namespace pyx
