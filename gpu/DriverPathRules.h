#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pyx {

// One place where the driver's module may be named, in the order the locator reads them.
struct DriverValueSource {
    enum class Kind {
        ServiceBinary,  // the binary path of the adapter driver's service
        AdapterValue,   // a value under the adapter's driver key; its data lists files
        MachineList,    // a local-machine key whose value names are files
    };
    Kind kind;
    std::wstring name;  // the value name (AdapterValue) or the key path (MachineList)
};

// The string side of finding the NVIDIA driver's modules on Windows: which names may be
// looked up, which folders a module may be loaded from, how a registry entry becomes a path.
// Nothing here touches the system, so the rules are checked on every platform; the Windows
// locator feeds them the folders and registry data it reads. Paths are UTF-16 on Windows.
// Letter case is folded for ASCII only: a folder that differs elsewhere is not trusted.
class DriverPathRules {
public:
    // Windows 10 build from which display drivers keep their modules in the driver store.
    static constexpr uint32_t kFirstDriverStoreBuild = 14308;
    // LoadLibraryExW flags that alter the search path; a located file is loaded by its path alone.
    static constexpr uint32_t kSearchPathFlags = 0x1F08;

    // A bare module name holds no separator and no drive colon.
    static bool HoldsPath(std::wstring_view name);
    // "\" or "/" first, or a drive letter, colon and separator.
    static bool IsAbsolute(std::wstring_view path);
    // fullPath lies inside folder (not the folder itself, not a sibling sharing its prefix).
    // A folder that is relative, empty or a bare root contains nothing.
    static bool IsInsideFolder(std::wstring_view fullPath, std::wstring_view folder);
    static bool IsInsideAny(std::wstring_view fullPath, const std::vector<std::wstring>& folders);
    // Before Windows 7 (6.1) no folder is refused.
    static bool TrustsEveryFolder(uint32_t major, uint32_t minor);

    // Only the driver's own modules ("nv...") are looked for in the driver store.
    static bool IsDriverModuleName(std::wstring_view name);
    static bool UsesDriverStore(uint32_t build);
    // "CurrentBuildNumber" text to a number; 0 when it is not a plain decimal number.
    static uint32_t ParseBuildNumber(std::wstring_view text);
    static uint32_t LoadFlags(uint32_t flags) { return flags & ~kSearchPathFlags; }
    // A display-adapter interface path of NVIDIA's PCI vendor id.
    static bool IsNvidiaAdapter(std::wstring_view devicePath);

    // folder + "\" + name, with no doubled separator.
    static std::wstring JoinPath(std::wstring_view folder, std::wstring_view name);
    // What follows the last separator.
    static std::wstring_view FileName(std::wstring_view path);
    // What precedes the last separator; empty when there is none.
    static std::wstring_view FolderOf(std::wstring_view path);
    // A registry entry (possibly quoted, possibly a whole path) names the file `name`.
    static bool NamesFile(std::wstring_view entry, std::wstring_view name);
    // "\SystemRoot\system32\..." and "system32\..." are rebased onto systemDir; any other
    // entry stands for its file in the driver-store folder (empty when there is none).
    static std::wstring ResolveDriverFile(std::wstring_view entry, std::wstring_view systemDir,
                                          std::wstring_view driverStoreFolder);
    // REG_SZ or REG_MULTI_SZ data, in characters, terminated or not: its non-empty strings
    // up to the first empty one.
    static std::vector<std::wstring> SplitMultiString(std::wstring_view data);
    // Where to look for `name`, in order. Names other than ".dll" ask the service first;
    // ".sys" names are kernel files and skip the user-mode lists.
    static std::vector<DriverValueSource> LookupOrder(std::wstring_view name, bool wow64);

    static bool EqualsIgnoringCase(std::wstring_view a, std::wstring_view b);
    static bool StartsWithIgnoringCase(std::wstring_view text, std::wstring_view prefix);
    static bool EndsWithIgnoringCase(std::wstring_view text, std::wstring_view suffix);
};

}  // namespace pyx
