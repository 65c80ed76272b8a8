#ifdef _WIN32

#include "gpu/windows/WindowsFolders.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <shlobj.h>

namespace pyx {

namespace {

// The Win32 folder queries return the length they need when the buffer is too small.
template <typename Query>
std::wstring GrowingQuery(Query query) {
    std::wstring text(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        UINT length = query(text.data(), static_cast<UINT>(text.size()));
        if (length == 0) return {};
        if (length < text.size()) {
            text.resize(length);
            return text;
        }
        text.assign(length + 1, L'\0');
    }
    return {};
}

std::wstring ShellFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
    return path;
}

std::wstring ProgramFiles64() {
    // A 32-bit process on 64-bit Windows is told the 32-bit folder by the shell; the
    // environment names the 64-bit one.
    std::wstring value = GrowingQuery([](wchar_t* buffer, UINT size) {
        return static_cast<UINT>(GetEnvironmentVariableW(L"ProgramW6432", buffer, size));
    });
    return value.empty() ? ShellFolder(CSIDL_PROGRAM_FILES) : value;
}

}  // namespace

std::wstring WindowsFolders::SystemDirectory() {
    return GrowingQuery([](wchar_t* buffer, UINT size) { return GetSystemDirectoryW(buffer, size); });
}

std::vector<std::wstring> WindowsFolders::TrustedFolders() {
    std::wstring windows =
        GrowingQuery([](wchar_t* buffer, UINT size) { return GetSystemWindowsDirectoryW(buffer, size); });
    return {windows, ProgramFiles64(), ShellFolder(CSIDL_PROGRAM_FILESX86)};
}

}  // namespace pyx

#endif  // _WIN32
