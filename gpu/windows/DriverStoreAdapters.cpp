#ifdef _WIN32

#include "gpu/windows/DriverStoreAdapters.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <devpropdef.h>
#include <setupapi.h>

#include <utility>

#include "gpu/DriverPathRules.h"
#include "gpu/windows/WindowsFolders.h"

namespace pyx {

namespace {

// Declared here rather than taken from the SDK: the functions are looked up at run time, and
// not every SDK declares SetupGetInfDriverStoreLocationW.
using GetClassDevsFn = HDEVINFO(WINAPI*)(const GUID*, PCWSTR, HWND, DWORD);
using EnumInterfacesFn = BOOL(WINAPI*)(HDEVINFO, PSP_DEVINFO_DATA, const GUID*, DWORD, PSP_DEVICE_INTERFACE_DATA);
using InterfaceDetailFn = BOOL(WINAPI*)(HDEVINFO, PSP_DEVICE_INTERFACE_DATA, PSP_DEVICE_INTERFACE_DETAIL_DATA_W, DWORD,
                                        PDWORD, PSP_DEVINFO_DATA);
using DevicePropertyFn = BOOL(WINAPI*)(HDEVINFO, PSP_DEVINFO_DATA, const DEVPROPKEY*, DEVPROPTYPE*, PBYTE, DWORD,
                                       PDWORD, DWORD);
using StoreLocationFn = BOOL(WINAPI*)(PCWSTR, const void*, PCWSTR, PWSTR, DWORD, PDWORD);
using DestroyListFn = BOOL(WINAPI*)(HDEVINFO);

// GUID_DEVINTERFACE_DISPLAY_ADAPTER
const GUID kDisplayAdapterInterface = {0x5b45201d, 0xf2f2, 0x4f3b, {0x85, 0xbb, 0x30, 0xff, 0x1f, 0x95, 0x35, 0x99}};
// DEVPKEY_Device_Service, DEVPKEY_Device_Driver, DEVPKEY_Device_DriverInfPath
const DEVPROPKEY kServiceKey = {{0xa45c254e, 0xdf1c, 0x4efd, {0x80, 0x20, 0x67, 0xd1, 0x46, 0xa8, 0x50, 0xe0}}, 6};
const DEVPROPKEY kDriverKey = {{0xa45c254e, 0xdf1c, 0x4efd, {0x80, 0x20, 0x67, 0xd1, 0x46, 0xa8, 0x50, 0xe0}}, 11};
const DEVPROPKEY kInfPathKey = {{0xa8b865dd, 0x2e3d, 0x4094, {0xad, 0x97, 0xe5, 0x93, 0xa7, 0x0c, 0x75, 0xd6}}, 5};

constexpr DWORD kLargestAnswerBytes = 64 * 1024;
// LOAD_LIBRARY_SEARCH_SYSTEM32, which older SDK headers leave out.
constexpr DWORD kSearchSystem32 = 0x00000800;

template <typename Fn>
Fn Export(HMODULE module, const char* name) {
    // Through void(*)() so that no compiler objects to the change of function type.
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

struct SetupApi {
    HMODULE module = nullptr;
    GetClassDevsFn getClassDevs = nullptr;
    EnumInterfacesFn enumInterfaces = nullptr;
    InterfaceDetailFn interfaceDetail = nullptr;
    DevicePropertyFn deviceProperty = nullptr;
    StoreLocationFn storeLocation = nullptr;
    DestroyListFn destroyList = nullptr;

    SetupApi() = default;
    SetupApi(const SetupApi&) = delete;
    SetupApi& operator=(const SetupApi&) = delete;
    ~SetupApi() {
        if (module) FreeLibrary(module);
    }

    DWORD Load() {
        std::wstring folder = WindowsFolders::SystemDirectory();
        if (folder.empty()) return GetLastError() ? GetLastError() : ERROR_PATH_NOT_FOUND;
        std::wstring path = DriverPathRules::JoinPath(folder, L"setupapi.dll");
        // Its own dependencies from the system folder too, where Windows can be asked to.
        module = LoadLibraryExW(path.c_str(), nullptr, kSearchSystem32);
        if (!module && GetLastError() == ERROR_INVALID_PARAMETER) module = LoadLibraryExW(path.c_str(), nullptr, 0);
        if (!module) return GetLastError();
        getClassDevs = Export<GetClassDevsFn>(module, "SetupDiGetClassDevsW");
        enumInterfaces = Export<EnumInterfacesFn>(module, "SetupDiEnumDeviceInterfaces");
        interfaceDetail = Export<InterfaceDetailFn>(module, "SetupDiGetDeviceInterfaceDetailW");
        deviceProperty = Export<DevicePropertyFn>(module, "SetupDiGetDevicePropertyW");
        storeLocation = Export<StoreLocationFn>(module, "SetupGetInfDriverStoreLocationW");
        destroyList = Export<DestroyListFn>(module, "SetupDiDestroyDeviceInfoList");
        bool complete = getClassDevs && enumInterfaces && interfaceDetail && deviceProperty && destroyList;
        // Without the driver-store query (before Windows 10) the system-folder entries still resolve.
        return complete ? ERROR_SUCCESS : ERROR_PROC_NOT_FOUND;
    }

    std::wstring StringProperty(HDEVINFO set, SP_DEVINFO_DATA& device, const DEVPROPKEY& key) const {
        DEVPROPTYPE type = 0;
        DWORD bytes = 0;
        deviceProperty(set, &device, &key, &type, nullptr, 0, &bytes, 0);
        if (bytes < sizeof(wchar_t) || bytes > kLargestAnswerBytes) return {};
        std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
        if (!deviceProperty(set, &device, &key, &type, reinterpret_cast<PBYTE>(text.data()), bytes, &bytes, 0) ||
            type != DEVPROP_TYPE_STRING) {
            return {};
        }
        text.resize(text.find(L'\0'));
        return text;
    }

    std::wstring StoreFolder(const std::wstring& infName) const {
        if (!storeLocation || infName.empty()) return {};
        std::wstring path(MAX_PATH, L'\0');
        DWORD needed = 0;
        if (!storeLocation(infName.c_str(), nullptr, nullptr, path.data(), static_cast<DWORD>(path.size()), &needed)) {
            if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed == 0 || needed > kLargestAnswerBytes) return {};
            path.assign(needed + 1, L'\0');
            if (!storeLocation(infName.c_str(), nullptr, nullptr, path.data(), static_cast<DWORD>(path.size()),
                               &needed)) {
                return {};
            }
        }
        path.resize(path.find(L'\0'));
        return std::wstring(DriverPathRules::FolderOf(path));
    }

    // The interface's device path, and the device it belongs to in `device`.
    std::wstring DevicePath(HDEVINFO set, SP_DEVICE_INTERFACE_DATA& iface, SP_DEVINFO_DATA& device) const {
        DWORD bytes = 0;
        interfaceDetail(set, &iface, nullptr, 0, &bytes, nullptr);
        if (bytes < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) || bytes > kLargestAnswerBytes) return {};
        // DWORD elements keep the record aligned; the spare ones guarantee a terminator.
        std::vector<DWORD> storage(bytes / sizeof(DWORD) + 2, 0);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(storage.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        if (!interfaceDetail(set, &iface, detail, bytes, nullptr, &device)) return {};
        return detail->DevicePath;
    }
};

}  // namespace

uint32_t DriverStoreAdapters::List(std::vector<NvidiaAdapter>& adapters) {
    adapters.clear();
    SetupApi api;
    if (DWORD error = api.Load(); error != ERROR_SUCCESS) return error;

    HDEVINFO set = api.getClassDevs(&kDisplayAdapterInterface, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) return GetLastError() ? GetLastError() : ERROR_NOT_FOUND;

    for (DWORD index = 0;; ++index) {
        SP_DEVICE_INTERFACE_DATA iface = {};
        iface.cbSize = sizeof(iface);
        // The end of the list, or a list that broke off: either way, what was found stands.
        if (!api.enumInterfaces(set, nullptr, &kDisplayAdapterInterface, index, &iface)) break;
        SP_DEVINFO_DATA device = {};
        device.cbSize = sizeof(device);
        if (!DriverPathRules::IsNvidiaAdapter(api.DevicePath(set, iface, device))) continue;

        NvidiaAdapter adapter;
        adapter.driverKey = api.StringProperty(set, device, kDriverKey);
        adapter.service = api.StringProperty(set, device, kServiceKey);
        adapter.storeFolder = api.StoreFolder(api.StringProperty(set, device, kInfPathKey));
        if (adapter.driverKey.empty() && adapter.service.empty()) continue;  // no driver installed
        adapters.push_back(std::move(adapter));
    }
    api.destroyList(set);
    return ERROR_SUCCESS;
}

}  // namespace pyx

#endif  // _WIN32
