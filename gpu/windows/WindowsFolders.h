#pragma once
#ifdef _WIN32

#include <string>
#include <vector>

namespace pyx {

// The system's own folders, as the GPU library locator needs them. Each answer is empty when
// Windows cannot say, and an empty folder is trusted by nobody.
class WindowsFolders {
public:
    // GetSystemDirectoryW: where system modules live (redirected for a 32-bit process).
    static std::wstring SystemDirectory();
    // The shared Windows folder, the 64-bit and the 32-bit program-files folders.
    static std::vector<std::wstring> TrustedFolders();
};

}  // namespace pyx

#endif  // _WIN32
