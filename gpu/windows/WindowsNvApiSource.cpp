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

// "error 193: not a library this program can load"; the number alone where no more is known.
// The system's own message texts carry "%1" placeholders and the user's language, so the
// common cases are said here.
std::string ErrorText(DWORD error) {
    std::string text = "error " + std::to_string(error);
    switch (error) {
    case ERROR_MOD_NOT_FOUND: return text + ": a library it needs is missing";
    case ERROR_ACCESS_DENIED: return text + ": access denied";
    case ERROR_BAD_EXE_FORMAT: return text + ": not a library this program can load";
    case ERROR_DLL_INIT_FAILED: return text + ": its start-up code failed";
    default: return text;
    }
}

// Why the installed driver's copy could not even be looked for (the adapters or the driver's
// registry values could not be read): counted as there, so the failure is reported.
std::string LookupFailure(DWORD error) {
    return "the installed driver's files could not be looked up (" + ErrorText(error) + ")";
}

// Why the copy at `path` (empty: not known) could not be loaded.
std::string LoadFailure(DWORD error, const std::string& path) {
    const std::string copy = path.empty() ? std::string("it") : path;
    if (error == ERROR_BAD_PATHNAME) return copy + " lies outside the Windows and program folders";
    return copy + " cannot be loaded (" + ErrorText(error) + ")";
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
    openFailure_.clear();
    failedPath_.clear();
    HMODULE module = DriverLibraryLocator::LoadDriverLibrary(LibraryName(), 0);
    const DWORD error = GetLastError();
    if (!module) {
        // A load also fails for a copy that is there (not a library, a dependency missing,
        // outside the trusted folders): only no copy at all is "not installed".
        const DriverLibraryLocation where = DriverLibraryLocator::LocateDriverLibrary(LibraryName());
        if (error != ERROR_MOD_NOT_FOUND || !where.path.empty()) {
            failedPath_ = ToUtf8(where.path);
            openFailure_ = where.path.empty() && where.error != ERROR_SUCCESS && where.error != ERROR_MOD_NOT_FOUND
                               ? LookupFailure(where.error)
                               : LoadFailure(error, failedPath_);
        }
        return kNvLibraryNotFound;
    }
    FARPROC entry = GetProcAddress(module, "nvapi_QueryInterface");
    if (!entry) {
        failedPath_ = ToUtf8(ModulePath(module));
        openFailure_ = "it has no nvapi_QueryInterface";
        FreeLibrary(module);
        return kNvFailed;
    }
    module_ = module;
    queryInterface_ = reinterpret_cast<NvQueryInterfaceFn>(reinterpret_cast<void (*)()>(entry));
    queryInterface = queryInterface_;
    getFullName_ = reinterpret_cast<NvGetFullNameFn>(queryInterface_(kIdGetFullName));
    return kNvOk;
}

void WindowsNvApiSource::Close() {
    if (module_) FreeLibrary(module_);
    module_ = nullptr;
    queryInterface_ = nullptr;
    getFullName_ = nullptr;
}

std::optional<std::string> WindowsNvApiSource::CardName(void* gpuHandle) const {
    return DriverText::FullName(getFullName_, gpuHandle);
}

bool WindowsNvApiSource::Present() const {
    if (module_) return true;
    DriverLibraryLocation where = DriverLibraryLocator::LocateDriverLibrary(LibraryName());
    return where.error != ERROR_MOD_NOT_FOUND;
}

LibraryOutcome WindowsNvApiSource::Probe() const {
    const std::string name = ToUtf8(LibraryName());
    if (module_) return LibraryOutcome::ReadyOutcome(name, ToUtf8(ModulePath(module_)));
    if (!openFailure_.empty()) return LibraryOutcome::RefusedOutcome(name, failedPath_, openFailure_);
    const DriverLibraryLocation where = DriverLibraryLocator::LocateDriverLibrary(LibraryName());
    if (!where.path.empty()) return LibraryOutcome::ReadyOutcome(name, ToUtf8(where.path));
    if (where.error == ERROR_MOD_NOT_FOUND) return LibraryOutcome::NotInstalledOutcome(name);
    return LibraryOutcome::RefusedOutcome(name, "", LookupFailure(where.error));
}

std::string WindowsNvApiSource::Describe() const {
    if (module_) {
        std::string path = ToUtf8(ModulePath(module_));
        if (!path.empty()) return path;
    }
    return Probe().Message();
}

}  // namespace pyx

#endif  // _WIN32
