#include "gpu/DriverPathRules.h"

#include <limits>

namespace pyx {

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

wchar_t FoldAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

bool IsAsciiLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// Registry entries may carry blanks around them and, for service paths, quotes.
std::wstring_view Clean(std::wstring_view entry) {
    while (!entry.empty() && (entry.front() == L' ' || entry.front() == L'\t')) entry.remove_prefix(1);
    while (!entry.empty() && (entry.back() == L' ' || entry.back() == L'\t')) entry.remove_suffix(1);
    if (entry.size() >= 2 && entry.front() == L'"' && entry.back() == L'"') {
        entry.remove_prefix(1);
        entry.remove_suffix(1);
    }
    return entry;
}

std::wstring WithSuffix(std::wstring_view base, bool wow64) {
    std::wstring name(base);
    if (wow64) name += L"Wow";
    return name;
}

}  // namespace

bool DriverPathRules::EqualsIgnoringCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    }
    return true;
}

bool DriverPathRules::StartsWithIgnoringCase(std::wstring_view text, std::wstring_view prefix) {
    return text.size() >= prefix.size() && EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

bool DriverPathRules::EndsWithIgnoringCase(std::wstring_view text, std::wstring_view suffix) {
    return text.size() >= suffix.size() && EqualsIgnoringCase(text.substr(text.size() - suffix.size()), suffix);
}

bool DriverPathRules::HoldsPath(std::wstring_view name) {
    // A colon makes "c:nvapi.dll" relative to a drive's current folder, so it counts as a path.
    return name.find_first_of(L"\\/:") != std::wstring_view::npos;
}

bool DriverPathRules::IsAbsolute(std::wstring_view path) {
    if (path.empty()) return false;
    if (IsSeparator(path[0])) return true;
    return path.size() >= 3 && IsAsciiLetter(path[0]) && path[1] == L':' && IsSeparator(path[2]);
}

bool DriverPathRules::IsInsideFolder(std::wstring_view fullPath, std::wstring_view folder) {
    while (!folder.empty() && IsSeparator(folder.back())) folder.remove_suffix(1);
    // A folder read from the environment may be anything; a relative one or a bare drive
    // root would trust far too much.
    if (!IsAbsolute(folder) || folder.find_first_of(L"\\/") == std::wstring_view::npos) return false;
    // The separator after the prefix keeps "C:\WindowsX\..." from passing as "C:\Windows".
    return fullPath.size() > folder.size() + 1 && StartsWithIgnoringCase(fullPath, folder) &&
           IsSeparator(fullPath[folder.size()]);
}

bool DriverPathRules::IsInsideAny(std::wstring_view fullPath, const std::vector<std::wstring>& folders) {
    for (const std::wstring& folder : folders) {
        if (IsInsideFolder(fullPath, folder)) return true;
    }
    return false;
}

bool DriverPathRules::TrustsEveryFolder(uint32_t major, uint32_t minor) {
    return major < 6 || (major == 6 && minor < 1);
}

bool DriverPathRules::IsDriverModuleName(std::wstring_view name) { return StartsWithIgnoringCase(name, L"nv"); }

bool DriverPathRules::UsesDriverStore(uint32_t build) { return build >= kFirstDriverStoreBuild; }

uint32_t DriverPathRules::ParseBuildNumber(std::wstring_view text) {
    if (text.empty()) return 0;
    uint64_t value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return 0;
        value = value * 10 + static_cast<uint64_t>(c - L'0');
        if (value > std::numeric_limits<uint32_t>::max()) return 0;
    }
    return static_cast<uint32_t>(value);
}

bool DriverPathRules::IsNvidiaAdapter(std::wstring_view devicePath) {
    constexpr std::wstring_view kVendor = L"ven_10de";
    for (size_t i = 0; i + kVendor.size() <= devicePath.size(); ++i) {
        if (EqualsIgnoringCase(devicePath.substr(i, kVendor.size()), kVendor)) return true;
    }
    return false;
}

std::wstring DriverPathRules::JoinPath(std::wstring_view folder, std::wstring_view name) {
    std::wstring path(folder);
    if (!path.empty() && !IsSeparator(path.back())) path += L'\\';
    while (!name.empty() && IsSeparator(name.front())) name.remove_prefix(1);
    path += name;
    return path;
}

std::wstring_view DriverPathRules::FileName(std::wstring_view path) {
    size_t cut = path.find_last_of(L"\\/");
    return cut == std::wstring_view::npos ? path : path.substr(cut + 1);
}

std::wstring_view DriverPathRules::FolderOf(std::wstring_view path) {
    size_t cut = path.find_last_of(L"\\/");
    return cut == std::wstring_view::npos ? std::wstring_view() : path.substr(0, cut);
}

bool DriverPathRules::NamesFile(std::wstring_view entry, std::wstring_view name) {
    return !name.empty() && EqualsIgnoringCase(FileName(Clean(entry)), name);
}

std::wstring DriverPathRules::ResolveDriverFile(std::wstring_view entry, std::wstring_view systemDir,
                                                std::wstring_view driverStoreFolder) {
    entry = Clean(entry);
    for (std::wstring_view prefix : {std::wstring_view(L"\\SystemRoot\\system32\\"), std::wstring_view(L"system32\\")}) {
        if (StartsWithIgnoringCase(entry, prefix)) {
            std::wstring_view rest = entry.substr(prefix.size());
            return rest.empty() || systemDir.empty() ? std::wstring() : JoinPath(systemDir, rest);
        }
    }
    std::wstring_view file = FileName(entry);
    if (driverStoreFolder.empty() || file.empty()) return {};
    return JoinPath(driverStoreFolder, file);
}

std::vector<std::wstring> DriverPathRules::SplitMultiString(std::wstring_view data) {
    std::vector<std::wstring> items;
    size_t start = 0;
    while (start < data.size()) {
        size_t end = data.find(L'\0', start);
        if (end == std::wstring_view::npos) end = data.size();
        if (end == start) break;
        items.emplace_back(data.substr(start, end - start));
        start = end + 1;
    }
    return items;
}

std::vector<DriverValueSource> DriverPathRules::LookupOrder(std::wstring_view name, bool wow64) {
    using Kind = DriverValueSource::Kind;
    std::vector<DriverValueSource> order;
    if (!EndsWithIgnoringCase(name, L".dll")) order.push_back({Kind::ServiceBinary, {}});
    if (!EndsWithIgnoringCase(name, L".sys")) {
        for (std::wstring_view value : {L"UserModeDriverName", L"OpenGLDriverName", L"UserModeDListDriverName"}) {
            order.push_back({Kind::AdapterValue, WithSuffix(value, wow64)});
        }
        order.push_back({Kind::MachineList, L"SOFTWARE\\Khronos\\Vulkan\\Drivers"});
        order.push_back({Kind::MachineList, L"SOFTWARE\\Khronos\\OpenCL\\Vendors"});
    }
    order.push_back({Kind::AdapterValue, WithSuffix(L"DriverSupportModules", wow64)});
    return order;
}

}  // namespace pyx
