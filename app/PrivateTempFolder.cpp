#include "app/PrivateTempFolder.h"

#include <charconv>
#include <random>
#include <string>
#include <system_error>

#include "platform/ProcessIdentity.h"

#ifdef _WIN32
#include <windows.h>
#include <sddl.h>
#else
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#endif

namespace pyx {

namespace fs = std::filesystem;

namespace {

// The process named by a folder "<prefix><pid>-<rest>"; 0 when the name is not of that form.
unsigned long OwnerProcessOf(std::string_view name, std::string_view prefix) {
    if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) return 0;
    const std::string_view rest = name.substr(prefix.size());
    unsigned long pid = 0;
    const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), pid);
    if (ec != std::errc() || end == rest.data() || end == rest.data() + rest.size() || *end != '-') return 0;
    return pid;
}

// A folder of this user's own, not a link nor anything another user made. On Windows the
// folder's access list lets only its user in, so another user's is not this process's to
// remove however it is asked.
bool OwnFolder(const fs::path& folder) {
#ifdef _WIN32
    std::error_code ec;
    return fs::symlink_status(folder, ec).type() == fs::file_type::directory;
#else
    struct stat info {};
    return ::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid();
#endif
}

}  // namespace

void PrivateTempFolder::RemoveLeftovers(const fs::path& base, std::string_view prefix) {
    const unsigned long self = CurrentProcessId();
    std::error_code ec;
    for (fs::directory_iterator it(base, ec), end; !ec && it != end; it.increment(ec)) {
        const std::u8string name = it->path().filename().u8string();
        const unsigned long pid = OwnerProcessOf({reinterpret_cast<const char*>(name.data()), name.size()}, prefix);
        if (pid == 0 || pid == self || !OwnFolder(it->path()) || ProcessRuns(pid)) continue;
        // Links inside are removed as links: nothing outside the folder is touched.
        std::error_code ignored;
        fs::remove_all(it->path(), ignored);
    }
}

#ifdef _WIN32
namespace {

// What mkdtemp's 0700 is on Windows: a protected access list with a single entry, full
// control for this process's user, handed down to everything made inside. Without it the
// folder would take the entries of the folder above, and a temporary folder such as
// C:\Windows\Temp lets every user create files in the folders made there.
class PrivateFolderSecurity {
public:
    PrivateFolderSecurity() {
        HANDLE token = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return;
        DWORD size = 0;
        GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        std::string buffer(size, '\0');
        wchar_t* sid = nullptr;
        if (size > 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size) &&
            ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &sid)) {
            const std::wstring sddl = L"D:P(A;OICI;FA;;;" + std::wstring(sid) + L")";
            ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor_, nullptr);
            LocalFree(sid);
        }
        CloseHandle(token);
    }
    ~PrivateFolderSecurity() {
        if (descriptor_) LocalFree(descriptor_);
    }
    PrivateFolderSecurity(const PrivateFolderSecurity&) = delete;
    PrivateFolderSecurity& operator=(const PrivateFolderSecurity&) = delete;

    // Null when this user's entry could not be made: then no folder is made either.
    PSECURITY_DESCRIPTOR Descriptor() const { return descriptor_; }

private:
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
};

}  // namespace
#endif

std::unique_ptr<PrivateTempFolder> PrivateTempFolder::Make(const char* prefix) {
    std::error_code ec;
    const fs::path base = fs::temp_directory_path(ec);
    if (ec || base.empty()) return nullptr;
    RemoveLeftovers(base, prefix);
    const std::string named = std::string(prefix) + std::to_string(CurrentProcessId()) + "-";
#ifdef _WIN32
    // The folder is made by this call or not at all: an existing one with the same name is
    // never taken over.
    const PrivateFolderSecurity security;
    if (security.Descriptor() == nullptr) return nullptr;
    SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), security.Descriptor(), FALSE};
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        const fs::path candidate = base / (named + std::to_string(random()) + std::to_string(random()));
        if (CreateDirectoryW(candidate.c_str(), &attributes))
            return std::unique_ptr<PrivateTempFolder>(new PrivateTempFolder(candidate));
        if (GetLastError() != ERROR_ALREADY_EXISTS) return nullptr;
    }
    return nullptr;
#else
    const std::string pattern = (base / (named + "XXXXXX")).string();
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
