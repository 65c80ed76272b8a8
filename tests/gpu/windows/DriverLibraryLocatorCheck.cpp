// Checks of the driver-library locator on a real Windows system, with or without an NVIDIA
// card. Not part of the CMake test tree; build and run it by hand, e.g. with MinGW-w64:
//   x86_64-w64-mingw32-g++ -std=c++20 -I. tests/gpu/windows/DriverLibraryLocatorCheck.cpp
//       gpu/DriverPathRules.cpp gpu/windows/*.cpp -o locator_check.exe
// It plants a fake NvAPI module beside itself and in the current directory, and exits
// non-zero when any check fails.
#ifdef _WIN32

#include <cstdio>
#include <string>

#include "gpu/DriverPathRules.h"
#include "gpu/windows/DriverLibraryLocator.h"
#include "gpu/windows/WindowsFolders.h"
#include "gpu/windows/WindowsNvApiSource.h"

using namespace pyx;

namespace {

int failures = 0;

void Check(bool ok, const char* what, DWORD lastError) {
    std::printf("%s  %s (last error %lu)\n", ok ? "ok  " : "FAIL", what, static_cast<unsigned long>(lastError));
    if (!ok) ++failures;
}

// Expects a null module and the given last error.
void ExpectRefused(HMODULE module, DWORD expected, const char* what) {
    DWORD error = GetLastError();
    Check(module == nullptr && error == expected, what, error);
    if (module) FreeLibrary(module);
}

std::wstring ModuleFolder() {
    wchar_t path[MAX_PATH * 4] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    return std::wstring(DriverPathRules::FolderOf(std::wstring_view(path, length)));
}

std::wstring CurrentFolder() {
    wchar_t path[MAX_PATH * 4] = {};
    DWORD length = GetCurrentDirectoryW(MAX_PATH * 4, path);
    return std::wstring(path, length);
}

// Any bytes will do: the locator must refuse the file before Windows looks inside.
bool Plant(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    WriteFile(file, "MZ-planted", 10, &written, nullptr);
    CloseHandle(file);
    return true;
}

}  // namespace

int main() {
    using L = DriverLibraryLocator;

    ExpectRefused(L::LoadDriverLibrary(nullptr, 0), ERROR_BAD_ARGUMENTS, "no name");
    ExpectRefused(L::LoadDriverLibrary(L"", 0), ERROR_BAD_ARGUMENTS, "empty name");
    ExpectRefused(L::LoadDriverLibrary(L"..\\nvapi.dll", 0), ERROR_BAD_ARGUMENTS, "name with a backslash");
    ExpectRefused(L::LoadDriverLibrary(L"x/nvapi.dll", 0), ERROR_BAD_ARGUMENTS, "name with a slash");
    ExpectRefused(L::LoadDriverLibrary(L"c:nvapi.dll", 0), ERROR_BAD_ARGUMENTS, "name with a drive");
    ExpectRefused(L::LoadDriverLibrary(L"nvzz_absent_module.dll", 0), ERROR_MOD_NOT_FOUND, "absent driver module");
    ExpectRefused(L::LoadDriverLibrary(L"zz_absent_module.dll", 0), ERROR_MOD_NOT_FOUND, "absent system module");

    HMODULE system = L::LoadDriverLibrary(L"version.dll", 0);
    Check(system != nullptr && GetLastError() == ERROR_SUCCESS, "system module by bare name", GetLastError());
    if (system) FreeLibrary(system);

    std::wstring found = L::FindDriverModule(L"nvzz_absent_module.dll");
    Check(found.empty() && GetLastError() == ERROR_MOD_NOT_FOUND, "absent module not found", GetLastError());

    ExpectRefused(L::LoadFromTrustedPath(nullptr, 0), ERROR_BAD_ARGUMENTS, "no path");
    ExpectRefused(L::LoadFromTrustedPath(L"version.dll", 0), ERROR_BAD_ARGUMENTS, "relative path");
    ExpectRefused(L::LoadFromTrustedPath(L"C:version.dll", 0), ERROR_BAD_ARGUMENTS, "drive-relative path");
    std::wstring systemPath = DriverPathRules::JoinPath(WindowsFolders::SystemDirectory(), L"version.dll");
    HMODULE trusted = L::LoadFromTrustedPath(systemPath.c_str(), 0x1F08);
    Check(trusted != nullptr && GetLastError() == ERROR_SUCCESS, "system folder is trusted (search flags cleared)",
          GetLastError());
    if (trusted) FreeLibrary(trusted);
    std::wstring escaping = DriverPathRules::JoinPath(WindowsFolders::SystemDirectory(), L"..\\..\\Users\\nvapi.dll");
    ExpectRefused(L::LoadFromTrustedPath(escaping.c_str(), 0), ERROR_BAD_PATHNAME, "\"..\" out of the Windows folder");

    Check(L::BuildNumber() > 0, "build number read", 0);

    std::vector<std::wstring> trustedFolders = WindowsFolders::TrustedFolders();
    std::wstring planted[] = {DriverPathRules::JoinPath(ModuleFolder(), WindowsNvApiSource::LibraryName()),
                              DriverPathRules::JoinPath(CurrentFolder(), WindowsNvApiSource::LibraryName())};
    for (const std::wstring& path : planted) {
        if (DriverPathRules::IsInsideAny(path, trustedFolders)) {
            std::printf("skip  planting in a trusted folder\n");
            continue;
        }
        bool ok = Plant(path);
        Check(ok, "fake library planted", ok ? 0 : GetLastError());
        if (ok) ExpectRefused(L::LoadFromTrustedPath(path.c_str(), 0), ERROR_BAD_PATHNAME, "planted copy refused");
    }

    WindowsNvApiSource source;
    NvQueryInterfaceFn query = nullptr;
    NvStatus status = source.Open(query);
    std::string where = source.Describe();
    std::printf("info  NvAPI: status %d, %s\n", static_cast<int>(status), where.c_str());
    Check(status == kNvOk || status == kNvLibraryNotFound || status == kNvFailed, "open gives a loader status", 0);
    Check((status == kNvOk) == (query != nullptr), "entry point given exactly on success", 0);
    if (status == kNvOk) {
        std::wstring loaded(where.begin(), where.end());  // ASCII is enough to compare folders
        Check(DriverPathRules::IsInsideAny(loaded, trustedFolders), "NvAPI came from a trusted folder", 0);
    }
    source.Close();
    Check(source.Describe().find("not loaded") != std::string::npos || status != kNvOk, "closed source says so", 0);

    for (const std::wstring& path : planted) DeleteFileW(path.c_str());
    std::printf("%d failure(s)\n", failures);
    return failures == 0 ? 0 : 1;
}

#else
int main() { return 0; }
#endif  // _WIN32
