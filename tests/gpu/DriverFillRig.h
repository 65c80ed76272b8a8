#pragma once
// The Linux driver's gaps filled in, without a card: the simulator stands for the driver's
// NvAPI library (its I2C ids unknown, as in the Linux library, and chosen tuning ids "not
// supported"), the tests' own libnvidia-ml.so.1 stands for NVML (in a scratch copy of the
// system folders, owned as the loader demands), and the kernel's I2C adapters are a fake
// sysfs tree whose transport reaches the simulated cards' register-file devices. Failures
// to set it up throw.
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <stdexcept>

#include "gpu/NvApiIds.h"
#include "gpu/linux/FilledNvApiSource.h"
#include "sim/SimLibrary.h"
#include "sim/SimLibrarySource.h"
#include "tests/gpu/fake_nvml/FakeNvmlControl.h"

namespace pyx::test {

namespace fs = std::filesystem;

// Adapter N of the fake tree carries the bus of one simulated card.
class SimBusTransport : public I2cTransport {
public:
    void Connect(int adapter, sim::SimCard* card) { cards_[adapter] = card; }
    // What Check reports for every adapter (a missing module, a refused permission).
    std::string problem;
    std::atomic<int> transactions{0};

    NvStatus Read(int adapter, uint8_t address7, const uint8_t* reg, uint32_t regSize, uint8_t* data,
                  uint32_t length) override {
        return Move(adapter, sim::SimI2cRecord::Kind::Read, address7, reg, regSize, data, length);
    }
    NvStatus Write(int adapter, uint8_t address7, const uint8_t* reg, uint32_t regSize, const uint8_t* data,
                   uint32_t length) override {
        return Move(adapter, sim::SimI2cRecord::Kind::Write, address7, reg, regSize, const_cast<uint8_t*>(data), length);
    }
    std::string Check(int) override { return problem; }

private:
    NvStatus Move(int adapter, sim::SimI2cRecord::Kind kind, uint8_t address7, const uint8_t* reg, uint32_t regSize,
                  uint8_t* data, uint32_t length) {
        ++transactions;
        if (!problem.empty()) return kNvFailed;
        const auto it = cards_.find(adapter);
        if (it == cards_.end()) return kNvFailed;
        sim::SimI2cRecord record{};
        record.kind = kind;
        record.version = kI2cRequestV3Tag;
        record.devAddress = static_cast<uint8_t>(address7 << 1);
        record.reg = regSize != 0 ? reg[0] : 0;
        record.length = length;
        return it->second->bus.Transfer(record, data) ? kNvOk : kNvFailed;
    }
    std::map<int, sim::SimCard*> cards_;
};

#ifdef PYX_FAKE_NVML
inline constexpr const char* kFakeNvmlModule = PYX_FAKE_NVML;
#else
inline constexpr const char* kFakeNvmlModule = nullptr;
#endif

// The ids NVML stands in for when the driver's library refuses them.
inline const std::vector<NvOp>& NvmlFallbackOps() {
    static const std::vector<NvOp> ops = {
        NvOp::GetPstates20,          NvOp::SetPstates20,          NvOp::PowerPoliciesGetInfo,
        NvOp::PowerPoliciesGetStatus, NvOp::PowerPoliciesSetStatus, NvOp::ThermalPoliciesGetInfo,
        NvOp::ThermalPoliciesGetStatus, NvOp::ThermalPoliciesSetStatus, NvOp::GetCoolerSettings,
        NvOp::SetCoolerLevels,       NvOp::RestoreCoolerSettings, NvOp::FanCoolersGetInfo,
        NvOp::FanCoolersGetStatus,   NvOp::FanCoolersSetControl};
    return ops;
}

// NVML devices carry powers in milliwatts; with this default limit a thousandth of a percent
// is 2 mW, so every power the simulator holds has an exact NVML value.
inline constexpr unsigned kFakeDefaultMilliwatts = 200000;

class DriverFillRig {
public:
    // A scratch root of the system's shape; the fake sysfs tree lies below it too.
    DriverFillRig() {
        static std::atomic<int> serial{0};
        root_ = fs::temp_directory_path() / ("pyx-fill-" + std::to_string(::getpid()) + "-" + std::to_string(serial++));
        fs::remove_all(root_);
        libFolder_ = LibraryTrust::UnderRoot(root_, ::geteuid()).systemFolders.front();
        fs::create_directories(libFolder_);
        fs::create_directories(root_ / "sys/bus/i2c/devices");
        fs::create_directories(root_ / "sys/bus/pci/devices");
        SetTree(root_);
    }
    ~DriverFillRig() {
        if (nvml_ != nullptr) ::dlclose(nvml_);
        std::error_code ec;
        fs::remove_all(root_, ec);
    }

    const fs::path& Root() const { return root_; }
    LibraryTrust Trust() const { return LibraryTrust::UnderRoot(root_, ::geteuid()); }

    // Puts the tests' NVML in the scratch system folder and takes hold of its state; it
    // answers nvmlInit_v2 with initCode.
    void InstallNvml(int initCode = 0) {
        if (kFakeNvmlModule == nullptr) throw std::runtime_error("this binary was built without the fake NVML");
        const fs::path target = libFolder_ / "libnvidia-ml.so.1";
        fs::copy_file(kFakeNvmlModule, target, fs::copy_options::overwrite_existing);
        fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                    fs::perms::others_read);
        nvml_ = ::dlopen(fs::canonical(target).c_str(), RTLD_NOW | RTLD_LOCAL);
        if (nvml_ == nullptr) throw std::runtime_error(std::string("fake NVML: ") + ::dlerror());
        reset_ = reinterpret_cast<void (*)(int)>(::dlsym(nvml_, "pyxFakeNvmlReset"));
        add_ = reinterpret_cast<int (*)(const PyxFakeNvmlDevice*)>(::dlsym(nvml_, "pyxFakeNvmlAdd"));
        device_ = reinterpret_cast<PyxFakeNvmlDevice* (*)(int)>(::dlsym(nvml_, "pyxFakeNvmlDevice"));
        if (!reset_ || !add_ || !device_) throw std::runtime_error("fake NVML without its controls");
        reset_(initCode);
    }
    int AddNvmlDevice(const PyxFakeNvmlDevice& device) { return add_(&device); }
    PyxFakeNvmlDevice* NvmlDevice(int index) { return device_(index); }

    // The card on PCI bus `bus` with adapters for the ports given; the adapters' numbers are
    // returned in port order.
    std::vector<int> AddCard(uint32_t bus, const std::vector<int>& ports = {0, 1, 2, 3}) {
        char address[16];
        std::snprintf(address, sizeof address, "0000:%02x:00.0", bus);
        const fs::path device = root_ / "sys/devices/pci0000:00" / ("0000:00:0" + std::to_string(bus) + ".0") / address;
        fs::create_directories(device);
        std::ofstream(device / "vendor") << "0x10de\n";
        fs::create_symlink(device, root_ / "sys/bus/pci/devices" / address);
        std::vector<int> numbers;
        for (const int port : ports) {
            const int number = static_cast<int>(bus) * 10 + port;
            const fs::path adapter = device / ("i2c-" + std::to_string(number));
            fs::create_directories(adapter);
            std::ofstream(adapter / "name") << "NVIDIA i2c adapter " << port << " at " << bus << ":00.0\n";
            fs::create_symlink(adapter, root_ / "sys/bus/i2c/devices" / ("i2c-" + std::to_string(number)));
            numbers.push_back(number);
        }
        return numbers;
    }

    // A filled-in library over `library`: the driver's I2C ids unknown (as in the Linux
    // library), the given ids "not supported", every card given a PCI device whose adapters
    // all reach its simulated bus.
    std::unique_ptr<FilledNvApiSource> Wrap(std::unique_ptr<sim::SimLibrary> library,
                                            const std::vector<NvOp>& refused = {}) {
        for (const NvOp op : {NvOp::I2CRead, NvOp::I2CWrite, NvOp::I2CReadEx, NvOp::I2CWriteEx})
            library->SetUnknownId(NvOpId(op));
        for (const NvOp op : refused) library->SetUnsupported(NvOpId(op));
        auto transport = std::make_unique<SimBusTransport>();
        transport_ = transport.get();
        for (size_t i = 0; i < library->CardCount(); ++i)
            for (const int adapter : AddCard(static_cast<uint32_t>(i + 1))) transport->Connect(adapter, &library->Card(i));
        DriverFillOptions options;
        options.nvmlTrust = Trust();
        options.sysfsRoot = root_ / "sys";
        options.transport = std::move(transport);
        return std::make_unique<FilledNvApiSource>(std::make_unique<sim::SimLibrarySource>(std::move(library)),
                                                   std::move(options));
    }

    // NVML devices holding what the simulated cards hold, so either answers alike.
    void MirrorIntoNvml(sim::SimLibrary& library) {
        for (size_t i = 0; i < library.CardCount(); ++i) {
            const sim::SimTuningState& t = library.Card(i).tuning;
            PyxFakeNvmlDevice d{};
            std::snprintf(d.busId, sizeof d.busId, "0000:%02zx:00.0", i + 1);
            d.gpcOffsetMHz = t.graphics.deltaKHz / 1000;
            d.gpcMinMHz = t.graphics.minKHz / 1000;
            d.gpcMaxMHz = t.graphics.maxKHz / 1000;
            d.memOffsetMHz = t.memory.deltaKHz / 1000;
            d.memMinMHz = t.memory.minKHz / 1000;
            d.memMaxMHz = t.memory.maxKHz / 1000;
            const auto milliwatts = [](uint32_t pcm) {
                return static_cast<unsigned>(uint64_t{pcm} * kFakeDefaultMilliwatts / 100000);
            };
            d.powerDefaultMw = kFakeDefaultMilliwatts;
            d.powerLimitMw = milliwatts(t.power.currentPcm);
            d.powerMinMw = milliwatts(t.power.minPcm);
            d.powerMaxMw = milliwatts(t.power.maxPcm);
            for (const auto& policy : t.thermalPolicies)
                if (policy.id == 1) {
                    d.acousticMinC = static_cast<unsigned>(policy.minLimit / 256);
                    d.acousticCurrC = static_cast<unsigned>(policy.currentLimit / 256);
                    d.acousticMaxC = static_cast<unsigned>(policy.maxLimit / 256);
                }
            if (!t.coolers.empty()) {
                d.fanCount = static_cast<unsigned>(t.coolers.size());
                d.fanMin = t.coolers[0].minLevel;
                d.fanMax = t.coolers[0].maxLevel;
                d.fanAutoSpeed = t.coolers[0].defaultLevel;
                for (size_t f = 0; f < t.coolers.size() && f < 4; ++f) {
                    d.fanManual[f] = t.coolers[f].policy == sim::kSimCoolerPolicyManual;
                    d.fanSpeed[f] = t.coolers[f].currentLevel;
                }
            } else {
                d.fanCount = static_cast<unsigned>(t.fanCoolers.size());
                d.fanMin = 0;
                d.fanMax = 100;
                for (size_t f = 0; f < t.fanCoolers.size() && f < 4; ++f) {
                    d.fanAutoSpeed = t.fanCoolers[f].autoLevel;
                    d.fanManual[f] = t.fanCoolers[f].manual;
                    d.fanSpeed[f] = t.fanCoolers[f].manualLevel;
                }
            }
            AddNvmlDevice(d);
        }
    }

    // From now on the simulated cards follow every change NVML takes, as the one card behind
    // both libraries would: offsets move the clocks NvAPI reports, and the power, thermal and
    // fan state NvAPI would read back is NVML's.
    void KeepSimulatorInStep(sim::SimLibrary& library) {
        auto hook = reinterpret_cast<void (*)(void (*)(void*, int, const PyxFakeNvmlDevice*), void*)>(
            ::dlsym(nvml_, "pyxFakeNvmlOnChange"));
        if (hook == nullptr) throw std::runtime_error("fake NVML without its change hook");
        hook(&FollowNvml, &library);
    }

    SimBusTransport* Transport() { return transport_; }

private:
    static void MoveClocks(sim::SimCard& card, uint32_t domain, sim::SimClockDelta& delta, int32_t newKHz) {
        const int64_t change = int64_t{newKHz} - delta.deltaKHz;
        delta.deltaKHz = newKHz;
        for (auto& type : card.clockKHz) {
            uint32_t& khz = type[domain];
            if (khz == 0) continue;
            const int64_t moved = int64_t{khz} + change;
            khz = static_cast<uint32_t>(moved < 1 ? 1 : (moved > UINT32_MAX ? UINT32_MAX : moved));
        }
    }
    static void FollowNvml(void* context, int index, const PyxFakeNvmlDevice* d) {
        auto& library = *static_cast<sim::SimLibrary*>(context);
        if (index < 0 || static_cast<size_t>(index) >= library.CardCount()) return;
        sim::SimCard& card = library.Card(static_cast<size_t>(index));
        std::lock_guard lock(card.stateMutex);
        sim::SimTuningState& t = card.tuning;
        MoveClocks(card, kDomainGraphics, t.graphics, d->gpcOffsetMHz * 1000);
        MoveClocks(card, kDomainMemory, t.memory, d->memOffsetMHz * 1000);
        t.power.currentPcm = static_cast<uint32_t>(uint64_t{d->powerLimitMw} * 100000 / d->powerDefaultMw);
        for (auto& policy : t.thermalPolicies)
            if (policy.id == 1) policy.currentLimit = static_cast<int32_t>(d->acousticCurrC) * 256;
        for (size_t f = 0; f < t.coolers.size() && f < 4; ++f) {
            t.coolers[f].policy = d->fanManual[f] ? sim::kSimCoolerPolicyManual : sim::kSimCoolerPolicyAuto;
            t.coolers[f].currentLevel = d->fanManual[f] ? d->fanSpeed[f] : t.coolers[f].defaultLevel;
        }
        for (size_t f = 0; f < t.fanCoolers.size() && f < 4; ++f) {
            t.fanCoolers[f].manual = d->fanManual[f] != 0;
            if (d->fanManual[f]) t.fanCoolers[f].manualLevel = d->fanSpeed[f];
        }
    }

    static void SetTree(const fs::path& root) {
        // The loader takes nothing that others could write: the scratch tree is the owner's.
        for (const auto& entry : fs::recursive_directory_iterator(root))
            if (entry.is_directory()) fs::permissions(entry.path(), fs::perms::owner_all | fs::perms::group_read |
                                                                        fs::perms::group_exec | fs::perms::others_read |
                                                                        fs::perms::others_exec);
        fs::permissions(root, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
    }

    fs::path root_;
    fs::path libFolder_;
    void* nvml_ = nullptr;
    void (*reset_)(int) = nullptr;
    int (*add_)(const PyxFakeNvmlDevice*) = nullptr;
    PyxFakeNvmlDevice* (*device_)(int) = nullptr;
    SimBusTransport* transport_ = nullptr;
};

}  // namespace pyx::test
