// The Linux driver's gaps filled in: I2C through the kernel's adapters of the card, and the
// tuning ids NVML answers where NvAPI says "not supported", decided per id and kept, with
// NVML's units turned into the library's.
#include "gpu/linux/FilledNvApiSource.h"

#include <cstring>
#include <fstream>

#include <gtest/gtest.h>

#include "gpu/ClockControl.h"
#include "gpu/GpuBoardTable.h"
#include "gpu/I2cBus.h"
#include "gpu/NvApiLibrary.h"
#include "gpu/PowerControl.h"
#include "gpu/ThermalControl.h"
#include "sim/SimScenario.h"
#include "tests/support/linux/DriverFillRig.h"

namespace pyx {
namespace {

using test::DriverFillRig;
namespace fs = std::filesystem;

constexpr char kCard[] = R"({"cards": [{"deviceId": "0x1B8110DE", "subSystemId": "0x11223344",
    "i2c": [{"address": "0x58"}],
    "tuning": {"graphicsDelta": {"deltaKHz": 120000, "minKHz": -200000, "maxKHz": 200000},
               "memoryDelta": {"deltaKHz": 350000, "minKHz": -500000, "maxKHz": 1000000},
               "power": {"minPcm": 50000, "defaultPcm": 100000, "maxPcm": 116500, "currentPcm": 112500},
               "thermal": {"policies": [{"id": 1, "minC": 65, "defaultC": 83, "maxC": 92}]}}}]})";

struct Filled {
    explicit Filled(const std::vector<NvOp>& refused, bool withNvml = true, int nvmlInit = 0) {
        std::string error;
        auto library = sim::SimScenario::FromText(kCard, "test", error);
        EXPECT_NE(library, nullptr) << error;
        sim = library.get();
        if (withNvml) {
            rig.InstallNvml(nvmlInit);
            rig.MirrorIntoNvml(*sim);
        }
        auto source = rig.Wrap(std::move(library), refused);
        filled = source.get();
        nv = std::make_unique<NvApiLibrary>(std::move(source));
        EXPECT_EQ(nv->Initialize(), kNvOk);
        table = std::make_unique<GpuBoardTable>(*nv);
        EXPECT_EQ(table->EnumerateBoards(), kNvOk);
    }
    PyxFakeNvmlDevice& Nvml() { return *rig.NvmlDevice(0); }

    DriverFillRig rig;
    sim::SimLibrary* sim = nullptr;
    FilledNvApiSource* filled = nullptr;
    std::unique_ptr<NvApiLibrary> nv;
    std::unique_ptr<GpuBoardTable> table;
};

using Route = FilledNvApiSource::Route;

TEST(FilledNvApiSource, I2cGoesThroughTheCardsKernelAdapterOfThePortWithTheSevenBitAddress) {
    Filled f({});
    EXPECT_EQ(f.filled->RouteOf(NvOp::I2CWrite), Route::KernelI2c);
    uint8_t reg = 0x02;
    uint8_t colour[3] = {0xFF, 0x20, 0x00};
    EXPECT_EQ(WriteLedRegister(*f.table, 0, 0x58, &reg, colour, 3), kNvOk);
    uint8_t back = 0;
    reg = 0x03;
    EXPECT_EQ(ReadLedRegister(*f.table, 0, 0x58, &reg, &back), kNvOk);
    EXPECT_EQ(back, 0x20) << "the register file took the block written from 0x02 on";
    const auto log = f.sim->Card(0).bus.Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].devAddress, 0x58) << "7-bit 0x2C on the wire is the program's 0x58";
    EXPECT_EQ(log[0].data, (std::vector<uint8_t>{0xFF, 0x20, 0x00}));
    EXPECT_EQ(f.rig.Transport()->transactions.load(), 2) << "no retry through the extended form";

    // No device at an address: the primary call and the extended retry both answer -1.
    reg = 0x00;
    EXPECT_EQ(ReadLedRegister(*f.table, 0, 0x70, &reg, &back), kNvFailed);
    EXPECT_EQ(f.rig.Transport()->transactions.load(), 4);
}

TEST(FilledNvApiSource, ARequestForAPortTheCardHasNoAdapterForAndAnUnusableDeviceAnswerMinus1) {
    Filled f({});
    NvI2cRequestV3 request{};
    uint8_t reg = 0, data = 0;
    request.version = kI2cRequestV3Tag;
    request.i2cDevAddress = 0x58;
    request.pbI2cRegAddress = &reg;
    request.regAddrSize = 1;
    request.pbData = &data;
    request.cbSize = 1;
    request.bIsPortIdSet = 1;
    request.portId = 7;
    EXPECT_EQ(f.nv->I2CRead(f.table->Board(0).gpuHandle, &request), kNvFailed);
    request.portId = 1;
    EXPECT_EQ(f.nv->I2CRead(f.table->Board(0).gpuHandle, &request), kNvOk);
    // A version-1 request names its port by the DDC-port byte: the port-id fields lie beyond it.
    request.version = kI2cRequestV1Tag;
    request.bIsDDCPort = 9;
    EXPECT_EQ(f.nv->I2CRead(f.table->Board(0).gpuHandle, &request), kNvFailed);
    request.bIsDDCPort = 3;
    EXPECT_EQ(f.nv->I2CRead(f.table->Board(0).gpuHandle, &request), kNvOk);

    f.rig.Transport()->problem = "no permission to open /dev/i2c-11";
    EXPECT_EQ(f.nv->I2CRead(f.table->Board(0).gpuHandle, &request), kNvFailed);
    const std::optional<CardLinks> links = f.filled->LinksOf(f.table->Board(0).gpuHandle);
    ASSERT_TRUE(links);
    EXPECT_EQ(links->pciAddress, "0000:01:00.0");
    ASSERT_EQ(links->adapters.size(), 4u);
    EXPECT_EQ(links->adapters[1].number, 11);
    EXPECT_EQ(links->adapters[1].port, 1);
    ASSERT_FALSE(links->i2cProblems.empty());
    EXPECT_EQ(links->i2cProblems.front(), "no permission to open /dev/i2c-11");
    EXPECT_TRUE(links->nvmlDevice);
}

TEST(FilledNvApiSource, AnIdNvApiRefusesAtItsFirstCallGoesToNvmlForTheRestOfTheRun) {
    Filled f({NvOp::SetPstates20});
    EXPECT_EQ(f.filled->RouteOf(NvOp::SetPstates20), Route::Undecided);
    EXPECT_EQ(SetGraphicsClockOffset(*f.table, 0, 150000), kNvOk);
    EXPECT_EQ(f.filled->RouteOf(NvOp::SetPstates20), Route::Nvml);
    EXPECT_EQ(f.Nvml().gpcOffsetMHz, 150);
    EXPECT_EQ(f.sim->Card(0).tuning.graphics.deltaKHz, 120000) << "the refusing library was not changed";

    // Reads NvAPI answers stay NvAPI's, even when it refuses them later on.
    NvPstates20 record{};
    EXPECT_EQ(GetPstates20(*f.table, 0, &record), kNvOk);
    EXPECT_EQ(f.filled->RouteOf(NvOp::GetPstates20), Route::NvApi);
    f.sim->SetUnsupported(NvOpId(NvOp::GetPstates20));
    EXPECT_EQ(GetPstates20(*f.table, 0, &record), kNvNotSupported);
    EXPECT_EQ(f.filled->RouteOf(NvOp::GetPstates20), Route::NvApi);
    EXPECT_EQ(f.filled->AnswererOf(NvOp::SetPstates20), "NVML");
    EXPECT_EQ(f.filled->AnswererOf(NvOp::PowerPoliciesSetStatus), "NvAPI, NVML where NvAPI says not supported");
    EXPECT_EQ(f.filled->AnswererOf(NvOp::LightingTick), "NvAPI");
    EXPECT_EQ(f.filled->AnswererOf(NvOp::I2CRead), "kernel I2C");
}

TEST(FilledNvApiSource, WithoutNvmlARefusedIdStaysRefused) {
    for (const int init : {-1, 9}) {
        Filled f({NvOp::SetPstates20}, init == -1 ? false : true, init == -1 ? 0 : init);
        EXPECT_EQ(SetGraphicsClockOffset(*f.table, 0, 150000), kNvNotSupported);
        EXPECT_EQ(f.filled->RouteOf(NvOp::SetPstates20), Route::NvApi);
        const std::vector<LibraryOutcome> libraries = f.filled->Libraries();
        ASSERT_EQ(libraries.size(), 2u);
        EXPECT_EQ(libraries[1].Message(), init == -1 ? std::string("libnvidia-ml.so.1: not installed")
                                                     : "libnvidia-ml.so.1: found, but nvmlInit_v2 returned 9 "
                                                       "(the NVIDIA driver is not loaded)");
    }
}

TEST(FilledNvApiSource, NvmlAnswersInTheLibrarysUnits) {
    Filled f(test::NvmlFallbackOps());
    const GpuBoard& board = f.table->Board(0);
    NvPstates20 pstates{};
    pstates.version = kPstates20GetTag;
    ASSERT_EQ(f.nv->GetPstates20(board.gpuHandle, &pstates), kNvOk);
    ASSERT_EQ(pstates.numClocks, 2u);
    EXPECT_EQ(pstates.pstates[0].clocks[0].domainId, kDomainGraphics);
    EXPECT_EQ(pstates.pstates[0].clocks[0].freqDelta_kHz.value, 120000);
    EXPECT_EQ(pstates.pstates[0].clocks[0].freqDelta_kHz.minValue, -200000);
    EXPECT_EQ(pstates.pstates[0].clocks[1].domainId, kDomainMemory);
    EXPECT_EQ(pstates.pstates[0].clocks[1].freqDelta_kHz.maxValue, 1000000);

    // Power: thousandths of a percent of the default limit, exactly back again.
    NvPowerPoliciesInfo info{};
    info.version = kPowerPoliciesInfoTag;
    ASSERT_EQ(GetPowerPolicyInfo(*f.table, 0, &info), kNvOk);
    EXPECT_EQ(info.entries[0].minPowerPcm, 50000u);
    EXPECT_EQ(info.entries[0].defaultPowerPcm, 100000u);
    EXPECT_EQ(info.entries[0].maxPowerPcm, 116500u);
    NvPowerPoliciesStatus power{};
    power.count = 1;
    power.entries[0].powerPcm = 90500;
    ASSERT_EQ(SetPowerPolicyStatus(*f.table, 0, &power), kNvOk);
    EXPECT_EQ(f.Nvml().powerLimitMw, 181000u);
    power = {};
    power.version = kPowerPoliciesStatusTag;
    ASSERT_EQ(GetPowerPolicyStatus(*f.table, 0, &power), kNvOk);
    EXPECT_EQ(power.entries[0].powerPcm, 90500u);
    power.entries[0].powerPcm = 120000;
    EXPECT_EQ(SetPowerPolicyStatus(*f.table, 0, &power), kNvInvalidArgument) << "above the card's bound";

    // The thermal target: whole degrees, 1/256 degrees in the records.
    EXPECT_EQ(SetThermalLimit(*f.table, 0, 85.0f), kNvOk);
    EXPECT_EQ(f.Nvml().acousticCurrC, 85u);
    NvThermalPoliciesInfo thermalInfo{};
    NvThermalPoliciesStatus thermal{};
    ASSERT_EQ(ReadThermalPolicies(*f.table, 0, &thermalInfo, &thermal), kNvOk);
    EXPECT_EQ(thermalInfo.entries[0].policyId, 1u);
    EXPECT_EQ(thermalInfo.entries[0].maxLimit, 92 * 256);
    EXPECT_EQ(thermalInfo.entries[0].defaultLimit, 83 * 256) << "the target the card had when first read";
    EXPECT_EQ(thermal.entries[0].limit, 85 * 256);
    EXPECT_EQ(SetThermalLimit(*f.table, 0, 93.0f), kNvOk) << "out of range: refused silently by the program";
    EXPECT_EQ(f.Nvml().acousticCurrC, 85u);
    EXPECT_EQ(f.sim->Card(0).tuning.power.currentPcm, 112500u) << "NvAPI's side untouched";
}

TEST(FilledNvApiSource, AChangeWithoutTheRightsIsItsOwnStatus) {
    Filled f(test::NvmlFallbackOps());
    f.Nvml().refuseChanges = 1;
    EXPECT_EQ(SetGraphicsClockOffset(*f.table, 0, 10000), kNvNoPermission);
    NvPowerPoliciesStatus power{};
    power.count = 1;
    power.entries[0].powerPcm = 100000;
    EXPECT_EQ(SetPowerPolicyStatus(*f.table, 0, &power), kNvNoPermission);
    EXPECT_EQ(StatusText(kNvNoPermission), "needs administrator rights, status -137");
    EXPECT_EQ(StatusText(kNvNotSupported), "status -104");
    EXPECT_EQ(f.Nvml().changes, 0u);
}

TEST(FilledNvApiSource, ACardWhoseBusTheLibraryCannotTellHasNeitherI2cNorNvml) {
    Filled g(test::NvmlFallbackOps());
    g.sim->SetUnsupported(kIdGetBusId);
    uint8_t reg = 0, data = 0;
    EXPECT_EQ(ReadLedRegister(*g.table, 0, 0x58, &reg, &data), kNvFailed);
    EXPECT_EQ(SetGraphicsClockOffset(*g.table, 0, 10000), kNvNotSupported);
    const auto links = g.filled->LinksOf(g.table->Board(0).gpuHandle);
    ASSERT_TRUE(links);
    EXPECT_EQ(links->pciAddress, "");
    EXPECT_EQ(links->nvmlProblem, "the library does not tell the card's PCI bus");
}

// The simulator standing for the driver's library lacks NvAPI_GPU_GetFullName, as an old
// driver's: NVML names the card, or nobody does.
TEST(FilledNvApiSource, WithoutNvApisNameTheCardIsNamedByNvmlUpToTheFirstNul) {
    struct Case { std::string nvmlName; bool withNvml, refused, lacksIt; std::optional<std::string> expected; };
    const Case cases[] = {{std::string("RTX 3080\0junk", 13), true, false, false, "RTX 3080"},
                          {std::string(96, 'G'), true, false, false, std::string(96, 'G')},
                          {"", true, false, false, std::nullopt}, {"RTX 3080", true, true, false, std::nullopt},
                          {"RTX 3080", true, false, true, std::nullopt}, {"", false, false, false, std::nullopt}};
    for (const Case& c : cases) {
        Filled f({}, c.withNvml);
        if (c.withNvml) std::memcpy(f.Nvml().name, c.nvmlName.data(), c.nvmlName.size());
        if (c.withNvml) f.Nvml().unsupported = c.refused ? 16 : 0;
        if (f.filled->Nvml().EnsureReady() && c.lacksIt) f.filled->Nvml().GetName = nullptr;
        EXPECT_EQ(f.filled->CardName(f.table->Board(0).gpuHandle), c.expected) << c.nvmlName;
        EXPECT_EQ(f.filled->CardName(&f), std::nullopt) << "not a GPU";
    }
}

// NvAPI documents no power reading: NVML tells the draw, or nobody does.
TEST(FilledNvApiSource, ThePowerDrawIsNvmlsOrNone) {
    struct Case { bool withNvml, refused, lacksIt; std::optional<uint32_t> expected; };
    const Case cases[] = {{true, false, false, 187250u}, {true, true, false, std::nullopt},
                          {true, false, true, std::nullopt}, {false, false, false, std::nullopt}};
    for (const Case& c : cases) {
        Filled f({}, c.withNvml);
        if (c.withNvml) f.Nvml().powerUsageMw = 187250;
        if (c.withNvml) f.Nvml().unsupported = c.refused ? 2 : 0;
        if (f.filled->Nvml().EnsureReady() && c.lacksIt) f.filled->Nvml().GetPowerUsage = nullptr;
        EXPECT_EQ(f.filled->PowerDrawMilliwatts(f.table->Board(0).gpuHandle), c.expected)
            << c.withNvml << c.refused << c.lacksIt;
        EXPECT_EQ(f.filled->PowerDrawMilliwatts(&f), std::nullopt) << "not a GPU";
    }
}

TEST(KernelI2c, AdaptersAreTheNvidiaDriversAndAMissingDeviceNodeSaysWhatToDo) {
    EXPECT_EQ(KernelI2c::PortFromName("NVIDIA i2c adapter 1 at 1:00.0"), 1);
    EXPECT_EQ(KernelI2c::PortFromName("NVIDIA i2c adapter 12 at 41:00.0"), 12);
    EXPECT_EQ(KernelI2c::PortFromName("nvkm-0000:01:00.0-bus-0005"), -1) << "another driver's adapter";
    EXPECT_EQ(KernelI2c::PortFromName("NVIDIA i2c adapter x"), -1);

    DriverFillRig rig;
    const fs::path dev = rig.Root() / "dev";
    fs::create_directories(dev);
    DevI2cTransport transport(dev);
    EXPECT_EQ(transport.Check(3), (dev / "i2c-3").string() + " does not exist: load the i2c-dev module (modprobe i2c-dev)");
    uint8_t reg = 0, data = 0;
    EXPECT_EQ(transport.Read(3, 0x2C, &reg, 1, &data, 1), kNvFailed);
    // Something that is not an I2C device refuses the transaction.
    std::ofstream(dev / "i2c-4") << "";
    EXPECT_EQ(transport.Check(4), "");
    EXPECT_EQ(transport.Write(4, 0x2C, &reg, 1, &data, 1), kNvFailed);
    uint8_t big[300] = {};
    EXPECT_EQ(transport.Write(4, 0x2C, &reg, 1, big, sizeof big), kNvInvalidArgument);

    // The card's adapters are those whose parent is its PCI device, in port order.
    rig.AddCard(3, {2, 0});
    KernelI2c kernel(rig.Root() / "sys", std::make_unique<DevI2cTransport>(dev));
    const std::vector<I2cAdapter> adapters = kernel.AdaptersOf("0000:03:00.0");
    ASSERT_EQ(adapters.size(), 2u);
    EXPECT_EQ(adapters[0].port, 0);
    EXPECT_EQ(adapters[0].number, 30);
    EXPECT_EQ(adapters[1].port, 2);
    EXPECT_TRUE(kernel.AdaptersOf("0000:04:00.0").empty());
    EXPECT_EQ(kernel.PciAddressOf(3, std::nullopt), "0000:03:00.0");
    EXPECT_EQ(kernel.PciAddressOf(9, std::nullopt), "0000:09:00.0") << "not listed: slot 0 of the bus";
}

}  // namespace
}  // namespace pyx
