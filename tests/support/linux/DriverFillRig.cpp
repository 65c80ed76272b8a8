#include "tests/support/linux/DriverFillRig.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <string>

#include "sim/SimLibrarySource.h"

namespace pyx::test {

namespace fs = std::filesystem;

namespace {

#ifdef PYX_FAKE_NVML
constexpr const char* kFakeNvmlModule = PYX_FAKE_NVML;
#else
constexpr const char* kFakeNvmlModule = nullptr;
#endif

void MoveClocks(sim::SimCard& card, uint32_t domain, sim::SimClockDelta& delta, int32_t newKHz) {
    const int64_t change = int64_t{newKHz} - delta.deltaKHz;
    delta.deltaKHz = newKHz;
    for (auto& type : card.clockKHz) {
        uint32_t& khz = type[domain];
        if (khz == 0) continue;
        const int64_t moved = int64_t{khz} + change;
        khz = static_cast<uint32_t>(moved < 1 ? 1 : (moved > UINT32_MAX ? UINT32_MAX : moved));
    }
}

// The loader takes nothing that others could write: the scratch tree is the owner's.
void SetTree(const fs::path& root) {
    constexpr fs::perms kMode = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                fs::perms::others_read | fs::perms::others_exec;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_directory()) fs::permissions(entry.path(), kMode);
    fs::permissions(root, kMode);
}

}  // namespace

const std::vector<NvOp>& NvmlFallbackOps() {
    static const std::vector<NvOp> ops = {
        NvOp::GetPstates20,          NvOp::SetPstates20,          NvOp::PowerPoliciesGetInfo,
        NvOp::PowerPoliciesGetStatus, NvOp::PowerPoliciesSetStatus, NvOp::ThermalPoliciesGetInfo,
        NvOp::ThermalPoliciesGetStatus, NvOp::ThermalPoliciesSetStatus, NvOp::GetCoolerSettings,
        NvOp::SetCoolerLevels,       NvOp::RestoreCoolerSettings, NvOp::FanCoolersGetInfo,
        NvOp::FanCoolersGetStatus,   NvOp::FanCoolersSetControl,  NvOp::FanCoolersGetControl};
    return ops;
}

DriverFillRig::DriverFillRig() {
    libFolder_ = Trust().systemFolders.front();
    fs::create_directories(libFolder_);
    fs::create_directories(Root() / "sys/bus/i2c/devices");
    fs::create_directories(Root() / "sys/bus/pci/devices");
    SetTree(Root());
}

DriverFillRig::~DriverFillRig() {
    if (nvml_ != nullptr) ::dlclose(nvml_);
}

LibraryTrust DriverFillRig::Trust() const { return LibraryTrust::UnderRoot(Root(), ::geteuid()); }

void DriverFillRig::InstallNvml(int initCode) {
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

std::vector<int> DriverFillRig::AddCard(uint32_t bus, const std::vector<int>& ports) {
    char address[16];
    std::snprintf(address, sizeof address, "0000:%02x:00.0", bus);
    const fs::path device = Root() / "sys/devices/pci0000:00" / ("0000:00:0" + std::to_string(bus) + ".0") / address;
    fs::create_directories(device);
    std::ofstream(device / "vendor") << "0x10de\n";
    fs::create_symlink(device, Root() / "sys/bus/pci/devices" / address);
    std::vector<int> numbers;
    for (const int port : ports) {
        const int number = static_cast<int>(bus) * 10 + port;
        const fs::path adapter = device / ("i2c-" + std::to_string(number));
        fs::create_directories(adapter);
        std::ofstream(adapter / "name") << "NVIDIA i2c adapter " << port << " at " << bus << ":00.0\n";
        fs::create_symlink(adapter, Root() / "sys/bus/i2c/devices" / ("i2c-" + std::to_string(number)));
        numbers.push_back(number);
    }
    return numbers;
}

std::unique_ptr<FilledNvApiSource> DriverFillRig::Wrap(std::unique_ptr<sim::SimLibrary> library,
                                                       const std::vector<NvOp>& refused) {
    for (const NvOp op : {NvOp::I2CRead, NvOp::I2CWrite, NvOp::I2CReadEx, NvOp::I2CWriteEx})
        library->SetUnknownId(NvOpId(op));
    for (const NvOp op : refused) library->SetUnsupported(NvOpId(op));
    auto transport = std::make_unique<SimBusTransport>();
    transport_ = transport.get();
    for (size_t i = 0; i < library->CardCount(); ++i)
        for (const int adapter : AddCard(static_cast<uint32_t>(i + 1))) transport->Connect(adapter, &library->Card(i));
    DriverFillOptions options;
    options.nvmlTrust = Trust();
    options.sysfsRoot = Root() / "sys";
    options.transport = std::move(transport);
    return std::make_unique<FilledNvApiSource>(std::make_unique<sim::SimLibrarySource>(std::move(library)),
                                               std::move(options));
}

void DriverFillRig::MirrorIntoNvml(sim::SimLibrary& library) {
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

void DriverFillRig::KeepSimulatorInStep(sim::SimLibrary& library) {
    auto hook = reinterpret_cast<void (*)(void (*)(void*, int, const PyxFakeNvmlDevice*), void*)>(
        ::dlsym(nvml_, "pyxFakeNvmlOnChange"));
    if (hook == nullptr) throw std::runtime_error("fake NVML without its change hook");
    hook(&FollowNvml, &library);
}

void DriverFillRig::FollowNvml(void* context, int index, const PyxFakeNvmlDevice* d) {
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

}  // namespace pyx::test
