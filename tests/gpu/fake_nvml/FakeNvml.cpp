// A stand-in for libnvidia-ml.so.1 that keeps state, checks ranges and refuses what a real
// card refuses, for the tests of the NVML fallback. Only the functions the program declares
// are exported, under their versioned names.
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

#include "FakeNvmlControl.h"

#define PYX_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

enum : int {
    kSuccess = 0,
    kUninitialized = 1,
    kInvalidArgument = 2,
    kNotSupported = 3,
    kNoPermission = 4,
    kNotFound = 6,
};
enum : unsigned { kClocks = 1, kPower = 2, kThermal = 4, kFans = 8, kName = 16 };

std::mutex g_mutex;
std::vector<PyxFakeNvmlDevice> g_devices;
int g_initCode = 0;
bool g_initialised = false;
void (*g_hook)(void*, int, const PyxFakeNvmlDevice*) = nullptr;
void* g_hookContext = nullptr;

// Counts a change and tells the test.
void Changed(PyxFakeNvmlDevice* d) {
    d->changes += 1;
    if (g_hook) g_hook(g_hookContext, static_cast<int>(d - g_devices.data()), d);
}

PyxFakeNvmlDevice* Dev(void* handle) {
    for (auto& d : g_devices)
        if (&d == handle) return &d;
    return nullptr;
}

// Common gate: initialised, a known device, the area supported; for a change, permission.
int Gate(void* handle, unsigned area, bool change, PyxFakeNvmlDevice*& d) {
    if (!g_initialised) return kUninitialized;
    d = Dev(handle);
    if (d == nullptr) return kInvalidArgument;
    if ((d->unsupported & area) != 0) return kNotSupported;
    if (change && d->refuseChanges) return kNoPermission;
    return kSuccess;
}

// "0000:01:00.0", "00000000:01:00.0" and "1:00.0" name the same device.
bool SameBus(const char* a, const char* b) {
    unsigned da = 0, ba = 0, sa = 0, fa = 0, db = 0, bb = 0, sb = 0, fb = 0;
    const auto parse = [](const char* t, unsigned& d, unsigned& b, unsigned& s, unsigned& f) {
        if (std::sscanf(t, "%x:%x:%x.%x", &d, &b, &s, &f) == 4) return true;
        d = 0;
        return std::sscanf(t, "%x:%x.%x", &b, &s, &f) == 3;
    };
    return parse(a, da, ba, sa, fa) && parse(b, db, bb, sb, fb) && da == db && ba == bb && sa == sb && fa == fb;
}

}  // namespace

PYX_EXPORT void pyxFakeNvmlReset(int initCode) {
    std::lock_guard lock(g_mutex);
    g_devices.clear();
    g_devices.reserve(16);  // handles are addresses: they must not move
    g_initCode = initCode;
    g_initialised = false;
    g_hook = nullptr;
    g_hookContext = nullptr;
}

PYX_EXPORT int pyxFakeNvmlAdd(const PyxFakeNvmlDevice* device) {
    std::lock_guard lock(g_mutex);
    if (g_devices.size() >= 16) return -1;
    g_devices.push_back(*device);
    return static_cast<int>(g_devices.size() - 1);
}

PYX_EXPORT PyxFakeNvmlDevice* pyxFakeNvmlDevice(int index) {
    std::lock_guard lock(g_mutex);
    return index >= 0 && static_cast<size_t>(index) < g_devices.size() ? &g_devices[static_cast<size_t>(index)] : nullptr;
}

PYX_EXPORT void pyxFakeNvmlOnChange(void (*hook)(void*, int, const PyxFakeNvmlDevice*), void* context) {
    std::lock_guard lock(g_mutex);
    g_hook = hook;
    g_hookContext = context;
}

PYX_EXPORT int nvmlInit_v2() {
    std::lock_guard lock(g_mutex);
    g_initialised = g_initCode == kSuccess;
    return g_initCode;
}

PYX_EXPORT int nvmlShutdown() {
    std::lock_guard lock(g_mutex);
    g_initialised = false;
    return kSuccess;
}

PYX_EXPORT int nvmlDeviceGetHandleByPciBusId_v2(const char* busId, void** device) {
    std::lock_guard lock(g_mutex);
    if (!g_initialised) return kUninitialized;
    if (busId == nullptr || device == nullptr) return kInvalidArgument;
    for (auto& d : g_devices)
        if (SameBus(d.busId, busId)) {
            *device = &d;
            return kSuccess;
        }
    return kNotFound;
}

PYX_EXPORT int nvmlDeviceGetName(void* h, char* name, unsigned length) {
    std::lock_guard lock(g_mutex);
    PyxFakeNvmlDevice* d = nullptr;
    if (int s = Gate(h, kName, false, d); s != kSuccess) return s;
    if (name == nullptr) return kInvalidArgument;
    std::memcpy(name, d->name, length < sizeof d->name ? length : sizeof d->name);
    return kSuccess;
}

// ---- clocks ----
namespace {
int GetOffset(void* h, int PyxFakeNvmlDevice::*field, int* out) {
    std::lock_guard lock(g_mutex);
    PyxFakeNvmlDevice* d = nullptr;
    if (int s = Gate(h, kClocks, false, d); s != kSuccess) return s;
    if (out == nullptr) return kInvalidArgument;
    *out = d->*field;
    return kSuccess;
}
int GetRange(void* h, int PyxFakeNvmlDevice::*lo, int PyxFakeNvmlDevice::*hi, int* a, int* b) {
    std::lock_guard lock(g_mutex);
    PyxFakeNvmlDevice* d = nullptr;
    if (int s = Gate(h, kClocks, false, d); s != kSuccess) return s;
    if (a == nullptr || b == nullptr) return kInvalidArgument;
    *a = d->*lo;
    *b = d->*hi;
    return kSuccess;
}
int SetOffset(void* h, int PyxFakeNvmlDevice::*field, int PyxFakeNvmlDevice::*lo, int PyxFakeNvmlDevice::*hi, int mhz) {
    std::lock_guard lock(g_mutex);
    PyxFakeNvmlDevice* d = nullptr;
    if (int s = Gate(h, kClocks, true, d); s != kSuccess) return s;
    if (mhz < d->*lo || mhz > d->*hi) return kInvalidArgument;
    d->*field = mhz;
    Changed(d);
    return kSuccess;
}
}  // namespace

PYX_EXPORT int nvmlDeviceGetGpcClkVfOffset(void* h, int* o) { return GetOffset(h, &PyxFakeNvmlDevice::gpcOffsetMHz, o); }
PYX_EXPORT int nvmlDeviceGetMemClkVfOffset(void* h, int* o) { return GetOffset(h, &PyxFakeNvmlDevice::memOffsetMHz, o); }
PYX_EXPORT int nvmlDeviceGetGpcClkMinMaxVfOffset(void* h, int* a, int* b) {
    return GetRange(h, &PyxFakeNvmlDevice::gpcMinMHz, &PyxFakeNvmlDevice::gpcMaxMHz, a, b);
}
PYX_EXPORT int nvmlDeviceGetMemClkMinMaxVfOffset(void* h, int* a, int* b) {
    return GetRange(h, &PyxFakeNvmlDevice::memMinMHz, &PyxFakeNvmlDevice::memMaxMHz, a, b);
}
PYX_EXPORT int nvmlDeviceSetGpcClkVfOffset(void* h, int mhz) {
    return SetOffset(h, &PyxFakeNvmlDevice::gpcOffsetMHz, &PyxFakeNvmlDevice::gpcMinMHz, &PyxFakeNvmlDevice::gpcMaxMHz, mhz);
}
PYX_EXPORT int nvmlDeviceSetMemClkVfOffset(void* h, int mhz) {
    return SetOffset(h, &PyxFakeNvmlDevice::memOffsetMHz, &PyxFakeNvmlDevice::memMinMHz, &PyxFakeNvmlDevice::memMaxMHz, mhz);
}

// ---- power ----
PYX_EXPORT int nvmlDeviceGetPowerManagementLimit(void* h, unsigned* mw) {
    std::lock_guard lock(g_mutex);
    PyxFakeNvmlDevice* d = nullptr;
    if (int s = Gate(h, kPower, false, d); s != kSuccess) return s;
    *mw = d->powerLimitMw;
    return kSuccess;
}
PYX_EXPORT int nvmlDeviceGetPowerUsage(void* h, unsigned* mw) {
    std::lock_guard lock(g_mutex);
    PyxFakeNvmlDevice* d = nullptr;
    if (int s = Gate(h, kPower, false, d); s != kSuccess) return s;
    *mw = d->powerUsageMw;
    return kSuccess;
}
PYX_EXPORT int nvmlDeviceGetPowerManagementDefaultLimit(void* h, unsigned* mw) {
    std::lock_guard lock(g_mutex);
    PyxFakeNvmlDevice* d = nullptr;
    if (int s = Gate(h, kPower, false, d); s != kSuccess) return s;
    *mw = d->powerDefaultMw;
    return kSuccess;
}
PYX_EXPORT int nvmlDeviceGetPowerManagementLimitConstraints(void* h, unsigned* lo, unsigned* hi) {
    std::lock_guard lock(g_mutex);
    PyxFakeNvmlDevice* d = nullptr;
    if (int s = Gate(h, kPower, false, d); s != kSuccess) return s;
    *lo = d->powerMinMw;
    *hi = d->powerMaxMw;
    return kSuccess;
}
PYX_EXPORT int nvmlDeviceSetPowerManagementLimit(void* h, unsigned mw) {
    std::lock_guard lock(g_mutex);
    PyxFakeNvmlDevice* d = nullptr;
    if (int s = Gate(h, kPower, true, d); s != kSuccess) return s;
    if (mw < d->powerMinMw || mw > d->powerMaxMw) return kInvalidArgument;
    d->powerLimitMw = mw;
    Changed(d);
    return kSuccess;
}

// ---- thermal ----
PYX_EXPORT int nvmlDeviceGetTemperatureThreshold(void* h, int type, unsigned* c) {
    std::lock_guard lock(g_mutex);
    PyxFakeNvmlDevice* d = nullptr;
    if (int s = Gate(h, kThermal, false, d); s != kSuccess) return s;
    switch (type) {
    case 4: *c = d->acousticMinC; return kSuccess;
    case 5: *c = d->acousticCurrC; return kSuccess;
    case 6: *c = d->acousticMaxC; return kSuccess;
    default: return kNotSupported;
    }
}
PYX_EXPORT int nvmlDeviceSetTemperatureThreshold(void* h, int type, int* c) {
    std::lock_guard lock(g_mutex);
    PyxFakeNvmlDevice* d = nullptr;
    if (int s = Gate(h, kThermal, true, d); s != kSuccess) return s;
    if (type != 5) return kNotSupported;
    if (c == nullptr || *c < static_cast<int>(d->acousticMinC) || *c > static_cast<int>(d->acousticMaxC))
        return kInvalidArgument;
    d->acousticCurrC = static_cast<unsigned>(*c);
    Changed(d);
    return kSuccess;
}

// ---- fans ----
PYX_EXPORT int nvmlDeviceGetNumFans(void* h, unsigned* n) {
    std::lock_guard lock(g_mutex);
    PyxFakeNvmlDevice* d = nullptr;
    if (int s = Gate(h, kFans, false, d); s != kSuccess) return s;
    *n = d->fanCount;
    return kSuccess;
}
PYX_EXPORT int nvmlDeviceGetFanSpeed_v2(void* h, unsigned fan, unsigned* speed) {
    std::lock_guard lock(g_mutex);
    PyxFakeNvmlDevice* d = nullptr;
    if (int s = Gate(h, kFans, false, d); s != kSuccess) return s;
    if (fan >= d->fanCount) return kInvalidArgument;
    *speed = d->fanManual[fan] ? d->fanSpeed[fan] : d->fanAutoSpeed;
    return kSuccess;
}
PYX_EXPORT int nvmlDeviceGetMinMaxFanSpeed(void* h, unsigned* lo, unsigned* hi) {
    std::lock_guard lock(g_mutex);
    PyxFakeNvmlDevice* d = nullptr;
    if (int s = Gate(h, kFans, false, d); s != kSuccess) return s;
    *lo = d->fanMin;
    *hi = d->fanMax;
    return kSuccess;
}
PYX_EXPORT int nvmlDeviceGetFanControlPolicy_v2(void* h, unsigned fan, unsigned* policy) {
    std::lock_guard lock(g_mutex);
    PyxFakeNvmlDevice* d = nullptr;
    if (int s = Gate(h, kFans, false, d); s != kSuccess) return s;
    if (fan >= d->fanCount) return kInvalidArgument;
    *policy = d->fanManual[fan];
    return kSuccess;
}
PYX_EXPORT int nvmlDeviceSetFanSpeed_v2(void* h, unsigned fan, unsigned speed) {
    std::lock_guard lock(g_mutex);
    PyxFakeNvmlDevice* d = nullptr;
    if (int s = Gate(h, kFans, true, d); s != kSuccess) return s;
    if (fan >= d->fanCount || speed < d->fanMin || speed > d->fanMax) return kInvalidArgument;
    d->fanSpeed[fan] = speed;
    d->fanManual[fan] = 1;
    Changed(d);
    return kSuccess;
}
PYX_EXPORT int nvmlDeviceSetDefaultFanSpeed_v2(void* h, unsigned fan) {
    std::lock_guard lock(g_mutex);
    PyxFakeNvmlDevice* d = nullptr;
    if (int s = Gate(h, kFans, true, d); s != kSuccess) return s;
    if (fan >= d->fanCount) return kInvalidArgument;
    d->fanManual[fan] = 0;
    Changed(d);
    return kSuccess;
}
