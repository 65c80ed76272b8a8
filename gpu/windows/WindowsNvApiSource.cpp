#ifdef _WIN32

#include "gpu/windows/WindowsNvApiSource.h"

#include "gpu/windows/DriverLibraryLocator.h"

namespace pyx {

namespace {

std::string ToUtf8(const std::wstring& text) {
    if (text.empty()) return {};
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return {};
    std::string utf8(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), bytes, nullptr, nullptr);
    return utf8;
}

std::wstring ModulePath(HMODULE module) {
    std::wstring path(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 5; ++attempt) {
        DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        // A full buffer means the name was cut short.
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.assign(path.size() * 2, L'\0');
    }
    return {};
}

}  // namespace

WindowsNvApiSource::~WindowsNvApiSource() { WindowsNvApiSource::Close(); }

const wchar_t* WindowsNvApiSource::LibraryName() {
#ifdef _WIN64
    return L"nvapi64.dll";
#else
    return L"nvapi.dll";
#endif
}

NvStatus WindowsNvApiSource::Open(NvQueryInterfaceFn& queryInterface) {
    if (module_) {
        queryInterface = queryInterface_;
        return kNvOk;
    }
    entryMissing_ = false;
    HMODULE module = DriverLibraryLocator::LoadDriverLibrary(LibraryName(), 0);
    lastError_ = GetLastError();
    if (!module) return kNvLibraryNotFound;
    FARPROC entry = GetProcAddress(module, "nvapi_QueryInterface");
    if (!entry) {
        entryMissing_ = true;
        FreeLibrary(module);
        return kNvFailed;
    }
    module_ = module;
    queryInterface_ = reinterpret_cast<NvQueryInterfaceFn>(reinterpret_cast<void (*)()>(entry));
    queryInterface = queryInterface_;
    return kNvOk;
}

void WindowsNvApiSource::Close() {
    if (module_) FreeLibrary(module_);
    module_ = nullptr;
    queryInterface_ = nullptr;
}

bool WindowsNvApiSource::Present() const {
    if (module_) return true;
    DriverLibraryLocation where = DriverLibraryLocator::LocateDriverLibrary(LibraryName());
    return where.error != ERROR_MOD_NOT_FOUND;
}

std::string WindowsNvApiSource::Describe() const {
    if (module_) {
        std::string path = ToUtf8(ModulePath(module_));
        if (!path.empty()) return path;
    }
    std::string name = ToUtf8(LibraryName());
    if (module_) return name;
    if (entryMissing_) return name + " (no nvapi_QueryInterface)";
    const std::string error = "error " + std::to_string(lastError_);
    switch (lastError_) {
    case ERROR_SUCCESS:
        return name + " (not loaded)";
    case ERROR_MOD_NOT_FOUND:
        return name + " (not loaded, " + error + ": no NVIDIA display driver installed it)";
    case ERROR_BAD_PATHNAME:
        return name + " (not loaded, " + error + ": the driver names a copy outside the Windows and program folders)";
    default:
        return name + " (not loaded, " + error + ")";
    }
}

}  // namespace pyx

#endif  // _WIN32
