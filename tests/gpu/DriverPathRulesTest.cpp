#include "gpu/DriverPathRules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pyx {
namespace {

using R = DriverPathRules;
using Kind = DriverValueSource::Kind;

TEST(DriverPathRules, BareNamesOnlyForTheDriverLookup) {
    EXPECT_FALSE(R::HoldsPath(L"nvapi64.dll"));
    EXPECT_TRUE(R::HoldsPath(L"..\\nvapi.dll"));
    EXPECT_TRUE(R::HoldsPath(L"sub/nvapi.dll"));
    EXPECT_TRUE(R::HoldsPath(L"c:nvapi.dll"));  // the drive's current folder

    EXPECT_TRUE(R::IsDriverModuleName(L"nvapi.dll"));
    EXPECT_TRUE(R::IsDriverModuleName(L"NVAPI64.DLL"));
    EXPECT_TRUE(R::IsDriverModuleName(L"nV"));
    EXPECT_FALSE(R::IsDriverModuleName(L"n"));
    EXPECT_FALSE(R::IsDriverModuleName(L"anvapi.dll"));
    EXPECT_FALSE(R::IsDriverModuleName(L""));
}

TEST(DriverPathRules, AbsolutePathForms) {
    EXPECT_TRUE(R::IsAbsolute(L"C:\\Windows\\System32\\nvapi64.dll"));
    EXPECT_TRUE(R::IsAbsolute(L"c:/Windows/nvapi.dll"));
    EXPECT_TRUE(R::IsAbsolute(L"\\Windows\\nvapi.dll"));
    EXPECT_TRUE(R::IsAbsolute(L"/x"));
    EXPECT_TRUE(R::IsAbsolute(L"\\\\server\\share\\nvapi.dll"));

    EXPECT_FALSE(R::IsAbsolute(L""));
    EXPECT_FALSE(R::IsAbsolute(L"nvapi.dll"));
    EXPECT_FALSE(R::IsAbsolute(L"C:nvapi.dll"));
    EXPECT_FALSE(R::IsAbsolute(L"C:"));
    EXPECT_FALSE(R::IsAbsolute(L"1:\\nvapi.dll"));
    EXPECT_FALSE(R::IsAbsolute(L".\\nvapi.dll"));
}

TEST(DriverPathRules, TrustedFolderNeedsWholeFolderMatch) {
    EXPECT_TRUE(R::IsInsideFolder(L"C:\\Windows\\System32\\nvapi64.dll", L"C:\\Windows"));
    EXPECT_TRUE(R::IsInsideFolder(L"c:\\WINDOWS\\system32\\nvapi64.dll", L"C:\\Windows"));
    EXPECT_TRUE(R::IsInsideFolder(L"C:\\Windows\\nvapi.dll", L"C:\\Windows\\"));
    EXPECT_TRUE(R::IsInsideFolder(L"C:\\Program Files\\NVIDIA\\a.dll", L"C:\\Program Files"));

    // A sibling that merely shares the prefix, e.g. a folder any user may create at the root.
    EXPECT_FALSE(R::IsInsideFolder(L"C:\\WindowsX\\nvapi.dll", L"C:\\Windows"));
    EXPECT_FALSE(R::IsInsideFolder(L"C:\\Program Files (x86)\\a.dll", L"C:\\Program Files"));
    // The folder itself, or the folder with a bare separator, names no file.
    EXPECT_FALSE(R::IsInsideFolder(L"C:\\Windows", L"C:\\Windows"));
    EXPECT_FALSE(R::IsInsideFolder(L"C:\\Windows\\", L"C:\\Windows"));
    // An unknown folder (empty) trusts nothing, not everything.
    EXPECT_FALSE(R::IsInsideFolder(L"C:\\Users\\me\\nvapi.dll", L""));
    EXPECT_FALSE(R::IsInsideFolder(L"C:\\Users\\me\\nvapi.dll", L"\\"));
    EXPECT_FALSE(R::IsInsideFolder(L"C:\\Users\\me\\nvapi.dll", L"C:\\"));
    EXPECT_FALSE(R::IsInsideFolder(L"C:\\Users\\me\\nvapi.dll", L"C:"));
    EXPECT_FALSE(R::IsInsideFolder(L"Users\\me\\nvapi.dll", L"Users"));
    EXPECT_TRUE(R::IsInsideFolder(L"\\\\srv\\share\\nvapi.dll", L"\\\\srv\\share"));
    EXPECT_FALSE(R::IsInsideFolder(L"D:\\Windows\\nvapi.dll", L"C:\\Windows"));

    const std::vector<std::wstring> trusted = {L"C:\\Windows", L"", L"C:\\Program Files",
                                               L"C:\\Program Files (x86)"};
    EXPECT_TRUE(R::IsInsideAny(L"C:\\Program Files (x86)\\N\\nvapi.dll", trusted));
    EXPECT_TRUE(R::IsInsideAny(L"C:\\Windows\\System32\\DriverStore\\FileRepository\\nv.inf_1\\nvapi64.dll",
                               trusted));
    EXPECT_FALSE(R::IsInsideAny(L"C:\\Users\\me\\Downloads\\nvapi64.dll", trusted));
    EXPECT_FALSE(R::IsInsideAny(L"C:\\Windows\\System32\\nvapi64.dll", {}));

    EXPECT_TRUE(R::TrustsEveryFolder(5, 1));
    EXPECT_TRUE(R::TrustsEveryFolder(6, 0));
    EXPECT_FALSE(R::TrustsEveryFolder(6, 1));
    EXPECT_FALSE(R::TrustsEveryFolder(10, 0));
}

TEST(DriverPathRules, BuildNumberDecidesTheDriverStore) {
    EXPECT_EQ(R::ParseBuildNumber(L"19045"), 19045u);
    EXPECT_EQ(R::ParseBuildNumber(L"7601"), 7601u);
    EXPECT_EQ(R::ParseBuildNumber(L""), 0u);
    EXPECT_EQ(R::ParseBuildNumber(L"19045.1"), 0u);
    EXPECT_EQ(R::ParseBuildNumber(L"-1"), 0u);
    EXPECT_EQ(R::ParseBuildNumber(L"99999999999"), 0u);
    EXPECT_EQ(R::ParseBuildNumber(L"4294967295"), 4294967295u);

    EXPECT_FALSE(R::UsesDriverStore(0));
    EXPECT_FALSE(R::UsesDriverStore(14307));
    EXPECT_TRUE(R::UsesDriverStore(14308));
    EXPECT_TRUE(R::UsesDriverStore(22631));
}

TEST(DriverPathRules, SearchPathFlagsAreCleared) {
    EXPECT_EQ(R::LoadFlags(0), 0u);
    EXPECT_EQ(R::LoadFlags(0xFFFFFFFFu), 0xFFFFE0F7u);
    EXPECT_EQ(R::LoadFlags(0x00000008u | 0x00000800u | 0x00000002u), 0x00000002u);  // keeps LOAD_LIBRARY_AS_DATAFILE
}

TEST(DriverPathRules, NvidiaAdaptersByVendorId) {
    EXPECT_TRUE(R::IsNvidiaAdapter(
        L"\\\\?\\pci#ven_10de&dev_2684&subsys_16f310de&rev_a1#4&1#{5b45201d-f2f2-4f3b-85bb-30ff1f953599}"));
    EXPECT_TRUE(R::IsNvidiaAdapter(L"X#VEN_10DE"));
    EXPECT_FALSE(R::IsNvidiaAdapter(L"\\\\?\\pci#ven_1002&dev_73bf#{5b45201d}"));
    EXPECT_FALSE(R::IsNvidiaAdapter(L"ven_10d"));
    EXPECT_FALSE(R::IsNvidiaAdapter(L""));
}

TEST(DriverPathRules, PathPieces) {
    EXPECT_EQ(R::JoinPath(L"C:\\Windows\\system32", L"nvapi.dll"), L"C:\\Windows\\system32\\nvapi.dll");
    EXPECT_EQ(R::JoinPath(L"C:\\", L"nvapi.dll"), L"C:\\nvapi.dll");
    EXPECT_EQ(R::JoinPath(L"C:\\x", L"\\nvapi.dll"), L"C:\\x\\nvapi.dll");

    EXPECT_EQ(R::FileName(L"C:\\a\\b/nvapi.dll"), L"nvapi.dll");
    EXPECT_EQ(R::FileName(L"nvapi.dll"), L"nvapi.dll");
    EXPECT_EQ(R::FileName(L"C:\\a\\"), L"");
    EXPECT_EQ(R::FolderOf(L"C:\\DriverStore\\nv.inf_1\\nv_dispi.inf"), L"C:\\DriverStore\\nv.inf_1");
    EXPECT_EQ(R::FolderOf(L"nv_dispi.inf"), L"");

    EXPECT_TRUE(R::NamesFile(L"C:\\Store\\nv.inf_1\\NVAPI64.DLL", L"nvapi64.dll"));
    EXPECT_TRUE(R::NamesFile(L"  \"\\SystemRoot\\System32\\drivers\\nvlddmkm.sys\" ", L"nvlddmkm.sys"));
    EXPECT_TRUE(R::NamesFile(L"nvapi.dll", L"nvapi.dll"));
    EXPECT_FALSE(R::NamesFile(L"C:\\Store\\nvapi64.dll", L"nvapi.dll"));
    EXPECT_FALSE(R::NamesFile(L"C:\\Store\\xnvapi.dll", L"nvapi.dll"));
    EXPECT_FALSE(R::NamesFile(L"", L""));
}

TEST(DriverPathRules, EntriesResolveToSystemOrDriverStore) {
    const std::wstring sys = L"C:\\Windows\\system32";
    const std::wstring store = L"C:\\Windows\\System32\\DriverStore\\FileRepository\\nv_dispi.inf_amd64_1";

    EXPECT_EQ(R::ResolveDriverFile(L"\\SystemRoot\\System32\\DriverStore\\FileRepository\\n\\nvlddmkm.sys", sys, store),
              L"C:\\Windows\\system32\\DriverStore\\FileRepository\\n\\nvlddmkm.sys");
    EXPECT_EQ(R::ResolveDriverFile(L"\\systemroot\\SYSTEM32\\drivers\\nvlddmkm.sys", sys, L""),
              L"C:\\Windows\\system32\\drivers\\nvlddmkm.sys");
    EXPECT_EQ(R::ResolveDriverFile(L"System32\\drivers\\nvlddmkm.sys", sys, store),
              L"C:\\Windows\\system32\\drivers\\nvlddmkm.sys");
    EXPECT_EQ(R::ResolveDriverFile(L"system32\\nvapi.dll", L"C:\\Windows\\system32\\", store),
              L"C:\\Windows\\system32\\nvapi.dll");

    // Anything else is the file of that name in the driver's own store folder, wherever the
    // entry claims it lies.
    EXPECT_EQ(R::ResolveDriverFile(L"C:\\Elsewhere\\nvldumdx.dll", sys, store), store + L"\\nvldumdx.dll");
    EXPECT_EQ(R::ResolveDriverFile(L"nvapi64.dll", sys, store), store + L"\\nvapi64.dll");
    EXPECT_EQ(R::ResolveDriverFile(L"\"C:\\Store\\nvoglv64.dll\"", sys, store), store + L"\\nvoglv64.dll");
    EXPECT_EQ(R::ResolveDriverFile(L"\\SystemRoot\\nvapi.dll", sys, store), store + L"\\nvapi.dll");

    // Nothing to resolve against, or nothing named.
    EXPECT_EQ(R::ResolveDriverFile(L"nvapi64.dll", sys, L""), L"");
    EXPECT_EQ(R::ResolveDriverFile(L"\\SystemRoot\\system32\\", sys, store), L"");
    EXPECT_EQ(R::ResolveDriverFile(L"system32\\nvapi.dll", L"", store), L"");
    EXPECT_EQ(R::ResolveDriverFile(L"C:\\Store\\", sys, store), L"");
}

TEST(DriverPathRules, RegistryStringLists) {
    using V = std::vector<std::wstring>;
    const wchar_t multi[] = L"a.dll\0b.dll\0\0";
    EXPECT_EQ(R::SplitMultiString(std::wstring_view(multi, sizeof(multi) / sizeof(wchar_t) - 1)),
              (V{L"a.dll", L"b.dll"}));
    // Data stored without its terminators, a single string, a list cut at its first empty string.
    EXPECT_EQ(R::SplitMultiString(std::wstring_view(L"a.dll\0b.dll", 11)), (V{L"a.dll", L"b.dll"}));
    EXPECT_EQ(R::SplitMultiString(L"nvapi.dll"), (V{L"nvapi.dll"}));
    EXPECT_EQ(R::SplitMultiString(std::wstring_view(L"a\0\0b\0", 5)), (V{L"a"}));
    EXPECT_EQ(R::SplitMultiString(std::wstring_view(L"\0a\0", 3)), V{});
    EXPECT_EQ(R::SplitMultiString(L""), V{});
}

std::vector<std::wstring> Names(const std::vector<DriverValueSource>& order) {
    std::vector<std::wstring> names;
    for (const DriverValueSource& s : order) {
        std::wstring tag = s.kind == Kind::ServiceBinary ? L"service" : s.kind == Kind::AdapterValue ? L"value:" : L"list:";
        names.push_back(tag + s.name);
    }
    return names;
}

TEST(DriverPathRules, LookupOrderByNameAndProcessKind) {
    using V = std::vector<std::wstring>;
    EXPECT_EQ(Names(R::LookupOrder(L"nvapi64.dll", false)),
              (V{L"value:UserModeDriverName", L"value:OpenGLDriverName", L"value:UserModeDListDriverName",
                 L"list:SOFTWARE\\Khronos\\Vulkan\\Drivers", L"list:SOFTWARE\\Khronos\\OpenCL\\Vendors",
                 L"value:DriverSupportModules"}));
    EXPECT_EQ(Names(R::LookupOrder(L"NVAPI.DLL", true)),
              (V{L"value:UserModeDriverNameWow", L"value:OpenGLDriverNameWow", L"value:UserModeDListDriverNameWow",
                 L"list:SOFTWARE\\Khronos\\Vulkan\\Drivers", L"list:SOFTWARE\\Khronos\\OpenCL\\Vendors",
                 L"value:DriverSupportModulesWow"}));
    // A kernel file is named only by the service and the support modules.
    EXPECT_EQ(Names(R::LookupOrder(L"nvlddmkm.SYS", false)), (V{L"service", L"value:DriverSupportModules"}));
    EXPECT_EQ(Names(R::LookupOrder(L"nvlddmkm.sys", true)), (V{L"service", L"value:DriverSupportModulesWow"}));
    // Other files ask the service first, then every list.
    V other = Names(R::LookupOrder(L"nv-vk64.json", false));
    ASSERT_EQ(other.size(), 7u);
    EXPECT_EQ(other.front(), L"service");
    EXPECT_EQ(other[1], L"value:UserModeDriverName");
    EXPECT_EQ(other.back(), L"value:DriverSupportModules");
}

}  // namespace
}  // namespace pyx
