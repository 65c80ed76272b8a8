#ifdef _WIN32

#include "gpu/windows/DriverLibraryLocator.h"

#include <vector>

#include "gpu/DriverPathRules.h"
#include "gpu/windows/DriverStoreAdapters.h"
#include "gpu/windows/WindowsFolders.h"

namespace pyx {

namespace {

using Rules = DriverPathRules;

constexpr DWORD kLargestValueBytes = 64 * 1024;

template <typename Fn>
Fn Export(HMODULE module, const char* name) {
    return module ? reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name))) : nullptr;
}

class RegistryKey {
public:
    // An empty path opens nothing (RegOpenKeyExW would reopen the parent).
    RegistryKey(HKEY parent, const std::wstring& path, REGSAM extra = 0) {
        if (path.empty()) return;
        if (RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ | extra, &key_) != ERROR_SUCCESS) key_ = nullptr;
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey() {
        if (key_) RegCloseKey(key_);
    }
    HKEY get() const { return key_; }

    // The strings of a REG_SZ, REG_EXPAND_SZ or REG_MULTI_SZ value; none for anything else.
    // Environment references are left as they are: the process environment is not trusted.
    std::vector<std::wstring> Strings(const wchar_t* name) const {
        if (!key_) return {};
        DWORD type = 0;
        DWORD bytes = 0;
        if (RegQueryValueExW(key_, name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS) return {};
        if ((type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ) || bytes > kLargestValueBytes) return {};
        std::wstring data(bytes / sizeof(wchar_t) + 1, L'\0');
        if (RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &bytes) !=
            ERROR_SUCCESS) {
            return {};
        }
        data.resize(bytes / sizeof(wchar_t));
        return Rules::SplitMultiString(data);
    }

    // The key's value names; lists such as the Khronos ones name their files this way.
    std::vector<std::wstring> ValueNames() const {
        std::vector<std::wstring> names;
        DWORD longest = 0;
        if (!key_ ||
            RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longest, nullptr,
                             nullptr, nullptr) != ERROR_SUCCESS) {
            return names;
        }
        std::wstring name(longest + 1, L'\0');
        for (DWORD index = 0;; ++index) {
            DWORD length = static_cast<DWORD>(name.size());
            LSTATUS status = RegEnumValueW(key_, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
            if (status == ERROR_MORE_DATA) continue;  // grown since it was measured; skip it
            if (status != ERROR_SUCCESS) break;
            names.emplace_back(name.data(), length);
        }
        return names;
    }

private:
    HKEY key_ = nullptr;
};

// The binary path the service control manager holds for the adapter's kernel driver.
std::wstring ServiceBinaryPath(const std::wstring& service) {
    if (service.empty()) return {};
    std::wstring path;
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!manager) return path;
    if (SC_HANDLE handle = OpenServiceW(manager, service.c_str(), SERVICE_QUERY_CONFIG)) {
        DWORD bytes = 0;
        QueryServiceConfigW(handle, nullptr, 0, &bytes);
        if (GetLastError() == ERROR_INSUFFICIENT_BUFFER && bytes > 0 && bytes <= kLargestValueBytes) {
            // Whole elements of the record keep it aligned.
            std::vector<QUERY_SERVICE_CONFIGW> storage(bytes / sizeof(QUERY_SERVICE_CONFIGW) + 1);
            QUERY_SERVICE_CONFIGW* config = storage.data();
            DWORD capacity = static_cast<DWORD>(storage.size() * sizeof(QUERY_SERVICE_CONFIGW));
            if (QueryServiceConfigW(handle, config, capacity, &bytes) && config->lpBinaryPathName) {
                path = config->lpBinaryPathName;
            }
        }
        CloseServiceHandle(handle);
    }
    CloseServiceHandle(manager);
    return path;
}

std::vector<std::wstring> Entries(const DriverValueSource& source, const NvidiaAdapter& adapter,
                                  const RegistryKey& driverKey) {
    switch (source.kind) {
        case DriverValueSource::Kind::ServiceBinary: {
            std::wstring binary = ServiceBinaryPath(adapter.service);
            return binary.empty() ? std::vector<std::wstring>{} : std::vector<std::wstring>{binary};
        }
        case DriverValueSource::Kind::AdapterValue:
            return driverKey.Strings(source.name.c_str());
        case DriverValueSource::Kind::MachineList:
            return RegistryKey(HKEY_LOCAL_MACHINE, source.name).ValueNames();
    }
    return {};
}

bool IsFile(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

uint32_t ReadBuildNumber() {
    // The 64-bit view on 64-bit Windows; 32-bit Windows ignores the flag.
    RegistryKey key(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", KEY_WOW64_64KEY);
    std::vector<std::wstring> value = key.Strings(L"CurrentBuildNumber");
    return value.empty() ? 0 : Rules::ParseBuildNumber(value.front());
}

// Every folder counts as trusted before Windows 7; when the version cannot be asked the check stays on.
bool TrustsEveryFolder() {
    const WindowsVersion version = DriverLibraryLocator::SystemVersion();
    return version.major != 0 && DriverPathRules::TrustsEveryFolder(version.major, version.minor);
}

std::wstring FullPath(const wchar_t* path) {
    std::wstring full(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD length = GetFullPathNameW(path, static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0) return {};
        if (length < full.size()) {
            full.resize(length);
            return full;
        }
        full.assign(length + 1, L'\0');
    }
    return {};
}

HMODULE Loaded(HMODULE module) {
    if (module) SetLastError(ERROR_SUCCESS);
    return module;
}

}  // namespace

uint32_t DriverLibraryLocator::BuildNumber() {
    static const uint32_t build = ReadBuildNumber();
    return build;
}

WindowsVersion DriverLibraryLocator::SystemVersion() {
    static const WindowsVersion version = [] {
        using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
        auto getVersion = Export<RtlGetVersionFn>(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion");
        OSVERSIONINFOW info = {};
        info.dwOSVersionInfoSize = sizeof(info);
        if (!getVersion || getVersion(&info) != 0) return WindowsVersion{};
        return WindowsVersion{info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber};
    }();
    return version;
}

bool DriverLibraryLocator::IsWow64() {
    static const bool wow64 = [] {
        using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
        auto isWow64Process = Export<IsWow64ProcessFn>(GetModuleHandleW(L"kernel32"), "IsWow64Process");
        BOOL result = FALSE;
        return isWow64Process && isWow64Process(GetCurrentProcess(), &result) && result;
    }();
    return wow64;
}

DriverLibraryLocation DriverLibraryLocator::LocateDriverLibrary(const wchar_t* name) {
    DriverLibraryLocation where;
    if (!name || !*name || Rules::HoldsPath(name)) {
        where.error = ERROR_BAD_ARGUMENTS;
        SetLastError(where.error);
        return where;
    }
    if (Rules::UsesDriverStore(BuildNumber()) && Rules::IsDriverModuleName(name)) {
        where.path = FindDriverModule(name);
        if (!where.path.empty()) {
            where.fromDriverStore = true;
            SetLastError(ERROR_SUCCESS);
            return where;
        }
        if (GetLastError() != ERROR_MOD_NOT_FOUND) {
            where.error = GetLastError();
            return where;
        }
    }
    const std::wstring folder = WindowsFolders::SystemDirectory();
    std::wstring path = folder.empty() ? std::wstring() : Rules::JoinPath(folder, name);
    if (path.empty() || !IsFile(path)) {
        where.error = ERROR_MOD_NOT_FOUND;
    } else {
        where.path = std::move(path);
    }
    SetLastError(where.error);
    return where;
}

HMODULE DriverLibraryLocator::LoadDriverLibrary(const wchar_t* name, DWORD flags) {
    DriverLibraryLocation where = LocateDriverLibrary(name);
    if (where.path.empty()) return nullptr;
    if (where.fromDriverStore) return LoadFromTrustedPath(where.path.c_str(), flags);
    return Loaded(LoadLibraryExW(where.path.c_str(), nullptr, Rules::LoadFlags(flags)));
}

std::wstring DriverLibraryLocator::FindDriverModule(const wchar_t* name) {
    if (!name || !*name || Rules::HoldsPath(name)) {
        SetLastError(ERROR_BAD_ARGUMENTS);
        return {};
    }
    std::vector<NvidiaAdapter> adapters;
    if (uint32_t error = DriverStoreAdapters::List(adapters); error != 0) {
        SetLastError(error);
        return {};
    }
    return FindDriverModuleAmong(name, adapters);
}

std::wstring DriverLibraryLocator::FindDriverModuleAmong(const wchar_t* name, const std::vector<NvidiaAdapter>& adapters) {
    if (!name || !*name || Rules::HoldsPath(name)) {
        SetLastError(ERROR_BAD_ARGUMENTS);
        return {};
    }
    const bool wow64 = IsWow64();
    const std::wstring systemDir = WindowsFolders::SystemDirectory();
    const std::vector<DriverValueSource> order = Rules::LookupOrder(name, wow64);
    for (const NvidiaAdapter& adapter : adapters) {
        RegistryKey driverKey(HKEY_LOCAL_MACHINE, adapter.driverKey.empty() ? std::wstring()
                                                  : L"SYSTEM\\CurrentControlSet\\Control\\Class\\" + adapter.driverKey);
        for (const DriverValueSource& source : order) {
            for (const std::wstring& entry : Entries(source, adapter, driverKey)) {
                if (!Rules::NamesFile(entry, name)) continue;
                // A value naming a file the driver did not install is passed over, so that the
                // system folder's copy can still be found.
                std::wstring path = Rules::ResolveDriverFile(entry, systemDir, adapter.storeFolder);
                if (!path.empty() && IsFile(path)) {
                    SetLastError(ERROR_SUCCESS);
                    return path;
                }
            }
        }
    }
    SetLastError(ERROR_MOD_NOT_FOUND);
    return {};
}

HMODULE DriverLibraryLocator::LoadFromTrustedPath(const wchar_t* path, DWORD flags) {
    if (!path || !Rules::IsAbsolute(path)) {
        SetLastError(ERROR_BAD_ARGUMENTS);
        return nullptr;
    }
    // The checked form is the one loaded, so "..", "/" and the like cannot lead elsewhere.
    std::wstring full = FullPath(path);
    if (full.empty()) {
        SetLastError(ERROR_BAD_PATHNAME);
        return nullptr;
    }
    if (!TrustsEveryFolder() && !Rules::IsInsideAny(full, WindowsFolders::TrustedFolders())) {
        SetLastError(ERROR_BAD_PATHNAME);
        return nullptr;
    }
    return Loaded(LoadLibraryExW(full.c_str(), nullptr, Rules::LoadFlags(flags)));
}

}  // namespace pyx

#endif  // _WIN32
