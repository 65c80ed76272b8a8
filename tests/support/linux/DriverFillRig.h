#pragma once
// The Linux driver's gaps filled in, without a card: the simulator stands for the driver's
// NvAPI library (its I2C ids unknown, as in the Linux library, and chosen tuning ids "not
// supported"), the tests' own libnvidia-ml.so.1 stands for NVML (in a scratch copy of the
// system folders, owned as the loader demands), and the kernel's I2C adapters are a fake
// sysfs tree whose transport reaches the simulated cards' register-file devices. Failures
// to set it up throw.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

#include "gpu/NvApiIds.h"
#include "gpu/linux/FilledNvApiSource.h"
#include "sim/SimLibrary.h"
#include "tests/gpu/fake_nvml/FakeNvmlControl.h"
#include "tests/support/TempFolder.h"
#include "tests/support/linux/SimBusTransport.h"

namespace pyx::test {

// The ids NVML stands in for when the driver's library refuses them.
const std::vector<NvOp>& NvmlFallbackOps();

// NVML devices carry powers in milliwatts; with this default limit a thousandth of a percent
// is 2 mW, so every power the simulator holds has an exact NVML value.
inline constexpr unsigned kFakeDefaultMilliwatts = 200000;

class DriverFillRig {
public:
    // A scratch root of the system's shape; the fake sysfs tree lies below it too.
    DriverFillRig();
    ~DriverFillRig();
    DriverFillRig(const DriverFillRig&) = delete;
    DriverFillRig& operator=(const DriverFillRig&) = delete;

    const std::filesystem::path& Root() const { return root_.Path(); }
    LibraryTrust Trust() const;

    // Puts the tests' NVML in the scratch system folder and takes hold of its state; it
    // answers nvmlInit_v2 with initCode.
    void InstallNvml(int initCode = 0);
    int AddNvmlDevice(const PyxFakeNvmlDevice& device) { return add_(&device); }
    PyxFakeNvmlDevice* NvmlDevice(int index) { return device_(index); }

    // The card on PCI bus `bus` with adapters for the ports given; the adapters' numbers are
    // returned in port order.
    std::vector<int> AddCard(uint32_t bus, const std::vector<int>& ports = {0, 1, 2, 3});

    // A filled-in library over `library`: the driver's I2C ids unknown (as in the Linux
    // library), the given ids "not supported", every card given a PCI device whose adapters
    // all reach its simulated bus.
    std::unique_ptr<FilledNvApiSource> Wrap(std::unique_ptr<sim::SimLibrary> library,
                                            const std::vector<NvOp>& refused = {});

    // NVML devices holding what the simulated cards hold, so either answers alike.
    void MirrorIntoNvml(sim::SimLibrary& library);

    // From now on the simulated cards follow every change NVML takes, as the one card behind
    // both libraries would: offsets move the clocks NvAPI reports, and the power, thermal and
    // fan state NvAPI would read back is NVML's.
    void KeepSimulatorInStep(sim::SimLibrary& library);

    SimBusTransport* Transport() { return transport_; }

private:
    static void FollowNvml(void* context, int index, const PyxFakeNvmlDevice* d);

    TempFolder root_{"pyx-fill-"};
    std::filesystem::path libFolder_;
    void* nvml_ = nullptr;
    void (*reset_)(int) = nullptr;
    int (*add_)(const PyxFakeNvmlDevice*) = nullptr;
    PyxFakeNvmlDevice* (*device_)(int) = nullptr;
    SimBusTransport* transport_ = nullptr;
};

}  // namespace pyx::test
