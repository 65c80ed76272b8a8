#include "gpu/linux/NvmlLibrary.h"

#include <dlfcn.h>

namespace pyx {

namespace {

template <typename Fn>
void Bind(void* module, const char* name, Fn& fn) {
    fn = reinterpret_cast<Fn>(::dlsym(module, name));
}

}  // namespace

NvmlLibrary::NvmlLibrary(LibraryTrust trust) : locator_(std::move(trust)) {
    outcome_ = LibraryOutcome::NotInstalledOutcome(kLibraryName);
    outcome_.initFunction = "nvmlInit_v2";
}

NvmlLibrary::~NvmlLibrary() {
    if (module_ == nullptr) return;
    if (ready_.load() && Shutdown) Shutdown();
    ::dlclose(module_);
}

bool NvmlLibrary::EnsureReady() {
    if (ready_.load(std::memory_order_acquire)) return true;
    std::lock_guard lock(mutex_);
    if (tried_) return ready_.load();
    tried_ = true;
    const bool ready = LoadLocked();
    ready_.store(ready, std::memory_order_release);
    return ready;
}

LibraryOutcome NvmlLibrary::Outcome() const {
    std::lock_guard lock(mutex_);
    if (tried_) return outcome_;
    LibraryOutcome found = locator_.Locate(kLibraryName);
    found.initFunction = "nvmlInit_v2";
    return found;
}

bool NvmlLibrary::LoadLocked() {
    outcome_ = locator_.Locate(kLibraryName);
    outcome_.initFunction = "nvmlInit_v2";
    if (outcome_.state != LibraryState::Ready) return false;
    void* module = ::dlopen(outcome_.path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        const char* error = ::dlerror();
        outcome_ = LibraryOutcome::RefusedOutcome(kLibraryName, outcome_.path,
                                                  std::string("it cannot be loaded: ") + (error ? error : "unknown error"));
        outcome_.initFunction = "nvmlInit_v2";
        return false;
    }
    Bind(module, "nvmlInit_v2", Init);
    Bind(module, "nvmlShutdown", Shutdown);
    if (Init == nullptr) {
        ::dlclose(module);
        Init = nullptr;
        Shutdown = nullptr;
        outcome_ = LibraryOutcome::RefusedOutcome(kLibraryName, outcome_.path, "it has no nvmlInit_v2");
        outcome_.initFunction = "nvmlInit_v2";
        return false;
    }
    module_ = module;
    Bind(module, "nvmlDeviceGetHandleByPciBusId_v2", DeviceByPciBusId);
    Bind(module, "nvmlDeviceGetName", GetName);
    Bind(module, "nvmlDeviceGetGpcClkVfOffset", GetGpcClkVfOffset);
    Bind(module, "nvmlDeviceSetGpcClkVfOffset", SetGpcClkVfOffset);
    Bind(module, "nvmlDeviceGetGpcClkMinMaxVfOffset", GetGpcClkMinMaxVfOffset);
    Bind(module, "nvmlDeviceGetMemClkVfOffset", GetMemClkVfOffset);
    Bind(module, "nvmlDeviceSetMemClkVfOffset", SetMemClkVfOffset);
    Bind(module, "nvmlDeviceGetMemClkMinMaxVfOffset", GetMemClkMinMaxVfOffset);
    Bind(module, "nvmlDeviceGetPowerManagementLimit", GetPowerLimit);
    Bind(module, "nvmlDeviceGetPowerUsage", GetPowerUsage);
    Bind(module, "nvmlDeviceGetPowerManagementDefaultLimit", GetPowerDefaultLimit);
    Bind(module, "nvmlDeviceGetPowerManagementLimitConstraints", GetPowerLimitConstraints);
    Bind(module, "nvmlDeviceSetPowerManagementLimit", SetPowerLimit);
    Bind(module, "nvmlDeviceGetTemperatureThreshold", GetTemperatureThreshold);
    Bind(module, "nvmlDeviceSetTemperatureThreshold", SetTemperatureThreshold);
    Bind(module, "nvmlDeviceGetNumFans", GetNumFans);
    Bind(module, "nvmlDeviceGetFanSpeed_v2", GetFanSpeed);
    Bind(module, "nvmlDeviceGetMinMaxFanSpeed", GetMinMaxFanSpeed);
    Bind(module, "nvmlDeviceGetFanControlPolicy_v2", GetFanControlPolicy);
    Bind(module, "nvmlDeviceSetFanSpeed_v2", SetFanSpeed);
    Bind(module, "nvmlDeviceSetDefaultFanSpeed_v2", SetDefaultFanSpeed);
    const Return init = Init();
    if (init != kSuccess && init != kAlreadyInitialized) {
        outcome_.state = LibraryState::InitFailed;
        outcome_.initStatus = init;
        return false;
    }
    return true;
}

}  // namespace pyx
