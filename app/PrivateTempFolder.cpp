#include "app/PrivateTempFolder.h"

#include <random>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdlib>
#include <vector>
#endif

namespace pyx {

namespace fs = std::filesystem;

std::unique_ptr<PrivateTempFolder> PrivateTempFolder::Make(const char* prefix) {
    std::error_code ec;
    const fs::path base = fs::temp_directory_path(ec);
    if (ec || base.empty()) return nullptr;
#ifdef _WIN32
    // The folder is made by this call or not at all: an existing one with the same name is
    // never taken over.
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        const fs::path candidate = base / (std::string(prefix) + std::to_string(random()) + std::to_string(random()));
        if (CreateDirectoryW(candidate.c_str(), nullptr))
            return std::unique_ptr<PrivateTempFolder>(new PrivateTempFolder(candidate));
        if (GetLastError() != ERROR_ALREADY_EXISTS) return nullptr;
    }
    return nullptr;
#else
    const std::string pattern = (base / (std::string(prefix) + "XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (::mkdtemp(name.data()) == nullptr) return nullptr;  // mkdtemp makes it 0700
    return std::unique_ptr<PrivateTempFolder>(new PrivateTempFolder(fs::path(name.data())));
#endif
}

fs::path PrivateTempFolder::Nowhere(const fs::path& plainFile) { return plainFile / "no-folder"; }

PrivateTempFolder::~PrivateTempFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

}  // namespace pyx
