#include <chrono>
#include <fstream>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <gtest/gtest.h>

#include "tests/support/FakeProcessLauncher.h"
#include "tests/support/ScenarioJson.h"
#include "tests/support/TempFolder.h"
#include "tests/support/SimWorld.h"
#include "gpu/HardwareThread.h"
#include "platform/SystemPlatform.h"
#include "sim/SimLibrarySource.h"
#include "sim/SimRegisterFile.h"
#include "sim/SimScenario.h"
#include "tests/support/TestEnvironment.h"

namespace pyx {
namespace {

using namespace std::chrono_literals;
using test::CardJson;
using test::ScenarioJson;
using Clock = std::chrono::steady_clock;

std::vector<uint8_t> BiosWith(size_t at, const std::string& text, size_t size = 2048) {
    std::vector<uint8_t> bytes(size, 0);
    std::memcpy(bytes.data() + at, text.data(), text.size());
    return bytes;
}

BiosReaderOptions Options(const test::TempFolder& folder, std::chrono::milliseconds timeout = 1000ms) {
    BiosReaderOptions options;
    options.folder = folder.Path();
    options.readTimeout = timeout;
    options.pollInterval = 20ms;
    return options;
}

// The reader writes its dump in two parts, as a slow ROM read does.
void WriteInTwoParts(FakeProcessLauncher& launcher, const std::vector<uint8_t>& bios) {
    launcher.onStart = [&launcher, bios](const ProcessRequest& request) {
        launcher.workers.emplace_back([bios, dump = request.workingFolder / kBiosDumpFile] {
            std::ofstream out(dump, std::ios::binary);
            out.write(reinterpret_cast<const char*>(bios.data()), 1000);
            out.flush();
            std::this_thread::sleep_for(100ms);
            out.write(reinterpret_cast<const char*>(bios.data()) + 1000,
                      static_cast<std::streamsize>(bios.size() - 1000));
        });
        return true;
    };
}

TEST(HardwareThread, OneCardRunsTheReaderAndScansWhatItWrote) {
    test::SimWorld rig(ScenarioJson({CardJson(0x1c03)}));
    test::TempFolder folder;
    FakeProcessLauncher launcher;
    WriteInTwoParts(launcher, BiosWith(300, "VGA BIOS KB1234-F"));
    HardwareThread thread(&launcher, Options(folder));
    ASSERT_TRUE(thread.Start(*rig.table));
    EXPECT_FALSE(thread.Start(*rig.table)) << "runs once";
    ASSERT_TRUE(thread.WaitFinished(5s));

    ASSERT_EQ(launcher.started.size(), 1u);
    EXPECT_EQ(launcher.started[0].program, folder.Path() / kBiosReaderProgram);
    EXPECT_EQ(launcher.started[0].workingFolder, folder.Path());
    EXPECT_EQ(launcher.started[0].args, std::vector<std::string>{"--backend=sim"})
        << "the reader takes the simulator's bytes only when told";
    const auto outcome = thread.Outcome();
    EXPECT_TRUE(outcome.readerStarted);
    EXPECT_EQ(outcome.biosBytes, kBiosScanBytes) << "kept polling until the second part arrived";
    EXPECT_EQ(outcome.scan.tagIndex, 2);
    EXPECT_EQ(rig.table->Board(0).fan.Path(), FanPath::LibraryCoolerAndChip);
}

// The simulator under the driver library's name, as a card's library looks to the program.
class DriverNamedSource : public sim::SimLibrarySource {
public:
    using sim::SimLibrarySource::SimLibrarySource;
    std::string BackendName() const override { return "nvapi"; }
};

TEST(HardwareThread, OnADriversLibraryTheReaderIsToldToReadTheCard) {
    std::string error;
    auto library = sim::SimScenario::FromText(ScenarioJson({CardJson(0x1c03)}), "test", error);
    ASSERT_NE(library, nullptr) << error;
    NvApiLibrary nv(std::make_unique<DriverNamedSource>(std::move(library)));
    ASSERT_EQ(nv.Initialize(), kNvOk);
    GpuBoardTable table(nv);
    ASSERT_EQ(table.EnumerateBoards(), kNvOk);
    test::TempFolder folder;
    FakeProcessLauncher launcher;
    launcher.startsSucceed = false;
    HardwareThread thread(&launcher, Options(folder, 50ms));
    ASSERT_TRUE(thread.Start(table));
    ASSERT_TRUE(thread.WaitFinished(5s));
    ASSERT_EQ(launcher.started.size(), 1u);
    EXPECT_EQ(launcher.started[0].args, std::vector<std::string>{"--backend=nvapi"});
}

TEST(HardwareThread, TwoCardsNeverRunTheReader) {
    test::SimWorld rig(ScenarioJson({CardJson(0x1c03), CardJson(0x1c03)}));
    test::TempFolder folder;
    folder.Write(kBiosDumpFile, BiosWith(0, "VGA BIOS KA1234-F"));
    FakeProcessLauncher launcher;
    WriteInTwoParts(launcher, BiosWith(0, "VGA BIOS KA1234-F"));
    HardwareThread thread(&launcher, Options(folder));
    ASSERT_TRUE(thread.Start(*rig.table));
    ASSERT_TRUE(thread.WaitFinished(5s));
    EXPECT_TRUE(launcher.started.empty());
    EXPECT_FALSE(thread.Outcome().readerRun);
    EXPECT_EQ(rig.table->Board(0).fan.Path(), FanPath::LibraryCooler);
    EXPECT_EQ(rig.table->Board(1).fan.Path(), FanPath::LibraryCooler);
}

TEST(HardwareThread, AStaleDumpIsRemovedAndAMissingReaderEndsAtTheTimeout) {
    test::SimWorld rig(ScenarioJson({CardJson(0x1c03)}));
    test::TempFolder folder;
    folder.Write(kBiosDumpFile, BiosWith(0, "VGA BIOS KA1234-F"));
    FakeProcessLauncher launcher;
    launcher.startsSucceed = false;  // nothing starts
    HardwareThread thread(&launcher, Options(folder, 300ms));
    const auto began = Clock::now();
    ASSERT_TRUE(thread.Start(*rig.table));
    ASSERT_TRUE(thread.WaitFinished(5s));
    const auto took = Clock::now() - began;
    EXPECT_GE(took, 300ms);
    EXPECT_LT(took, 3s);
    EXPECT_FALSE(thread.Outcome().readerStarted);
    EXPECT_EQ(thread.Outcome().biosBytes, 0u);
    EXPECT_FALSE(std::filesystem::exists(folder.Path() / kBiosDumpFile));
    EXPECT_EQ(rig.table->Board(0).fan.Path(), FanPath::LibraryCooler) << "the old dump's marker was not read";
}

// A dump shorter than the scan wants is waited on until the reader ends, or, for a reader
// still running, until the time allowed; then it is scanned.
TEST(HardwareThread, AShortDumpIsScannedWhenTheReaderEndsOrAtTheTimeout) {
    struct Row {
        bool readerEnds;
        std::chrono::milliseconds timeout;
    } rows[] = {{false, 300ms}, {true, 30s}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.readerEnds ? "the reader ends" : "the reader runs on");
        test::SimWorld rig(ScenarioJson({CardJson(0x1c03)}));
        test::TempFolder folder;
        FakeProcessLauncher launcher;
        launcher.endsAtOnce = row.readerEnds;
        launcher.onStart = [&folder](const ProcessRequest&) {
            folder.Write(kBiosDumpFile, BiosWith(700, "V1234-F", 800));
            return true;
        };
        HardwareThread thread(&launcher, Options(folder, row.timeout));
        const auto began = Clock::now();
        ASSERT_TRUE(thread.Start(*rig.table));
        ASSERT_TRUE(thread.WaitFinished(5s));
        const auto took = Clock::now() - began;
        EXPECT_EQ(row.readerEnds ? took < 3s : took >= row.timeout, true) << "waited on after the reader ended, or "
                                                                           "not the time allowed";
        EXPECT_EQ(thread.Outcome().biosBytes, 800u);
        EXPECT_EQ(rig.table->Board(0).fan.Path(), FanPath::LibraryCoolerAndChip);
    }
}

TEST(HardwareThread, TheOwnerCanEndItWhileItWaitsForTheReader) {
    test::SimWorld rig(ScenarioJson({CardJson(0x1c03)}));
    test::TempFolder folder;
    FakeProcessLauncher launcher;
    launcher.startsSucceed = false;
    {
        HardwareThread thread(&launcher, Options(folder, 60s));
        ASSERT_TRUE(thread.Start(*rig.table));
        std::this_thread::sleep_for(50ms);
        EXPECT_FALSE(thread.Finished());
        const auto began = Clock::now();
        thread.RequestStop();
        ASSERT_TRUE(thread.WaitFinished(2s));
        EXPECT_LT(Clock::now() - began, 1s);
        EXPECT_TRUE(thread.Outcome().stopped);
    }
    // Destroying an owner whose thread is still waiting ends it as well.
    const auto began = Clock::now();
    {
        HardwareThread thread(&launcher, Options(folder, 60s));
        ASSERT_TRUE(thread.Start(*rig.table));
    }
    EXPECT_LT(Clock::now() - began, 1s);
    HardwareThread never(&launcher, Options(folder));
    EXPECT_FALSE(never.Started());
}

// A slot-1 chip that holds duty-limit writes at its hardware limit.
class LimitingChip : public sim::SimRegisterFile {
public:
    explicit LimitingChip(uint8_t limit) : limit_(limit) {}

protected:
    void OnWrite(uint8_t reg, uint8_t value) override {
        if ((reg == 0x38 || reg == 0x39) && value > limit_) registers_[reg] = limit_;
    }

private:
    uint8_t limit_;
};

TEST(FanChipLimit, LearnedFromTheChipWhenAboveHalf) {
    test::SimWorld rig(ScenarioJson({CardJson(0x1c03), CardJson(0x1c03), CardJson(0x1c03), CardJson(0x1c03)}));
    GpuBoardTable& t = *rig.table;
    const uint8_t limits[] = {0xC8, 0xC8, 0x70};
    for (size_t i = 0; i < 3; ++i) {
        rig.sim->Card(i).bus.Attach(0x5C, std::make_unique<LimitingChip>(limits[i]));
        t.Board(static_cast<int>(i)).i2cSlots[1].devAddress = 0x5C;
    }
    t.Board(1).fan.Select(FanPath::LibraryCoolerAndChip);
    rig.sim->Card(3).bus.Attach(0x5C, std::make_unique<LimitingChip>(0xC8));  // not probed: slot 1 empty

    LearnFanChipLimits(t);
    EXPECT_EQ(t.Board(0).fanChipLimit, 0xC8);
    EXPECT_EQ(t.Board(1).fanChipLimit, 0xC8);
    EXPECT_EQ(t.Board(2).fanChipLimit, -1) << "0x70 is not above 0x7F";
    EXPECT_EQ(t.Board(3).fanChipLimit, -1);
    EXPECT_TRUE(rig.sim->Card(3).bus.Log().empty());
    EXPECT_EQ(rig.sim->Card(0).bus.Log().front().reg, 0x38);
    EXPECT_EQ(rig.sim->Card(1).bus.Log().front().reg, 0x39) << "type 2 limits through 0x39";
}

#if defined(PYX_READMEM_PROGRAM)
TEST(HardwareThread, RunsTheRealReaderUnderTheSimulator) {
    test::TempFolder folder;
    const std::string scenario = ScenarioJson(
        {CardJson(0x1c03, 0x11223344, "[]", R"("bios": {"text": "VGA BIOS SA0042-F", "offset": 256})")});
    std::ofstream(folder.Path() / "scenario.json") << scenario;
    // The back-end reaches the reader as its argument, not through the environment.
    test::UnsetEnv("PYXTUNE_GPU_BACKEND");
    test::SetEnv("PYXTUNE_SIM_SCENARIO", (folder.Path() / "scenario.json").string());

    test::SimWorld rig(scenario);
    auto launcher = CreateSystemProcessLauncher();
    BiosReaderOptions options = Options(folder, 4000ms);
    options.program = PYX_READMEM_PROGRAM;
    HardwareThread thread(launcher.get(), options);
    ASSERT_TRUE(thread.Start(*rig.table));
    ASSERT_TRUE(thread.WaitFinished(10s));
    test::UnsetEnv("PYXTUNE_SIM_SCENARIO");
    test::SetEnv("PYXTUNE_GPU_BACKEND", "sim");

    EXPECT_TRUE(thread.Outcome().readerStarted);
    EXPECT_EQ(thread.Outcome().biosBytes, kBiosScanBytes);
    EXPECT_EQ(thread.Outcome().scan.tagIndex, 10);
    EXPECT_EQ(thread.Outcome().scan.position, 256u);
    EXPECT_EQ(rig.table->Board(0).fan.Path(), FanPath::LibraryCoolerAndChip);
    EXPECT_EQ(std::filesystem::file_size(folder.Path() / kBiosDumpFile), 2048u);
}
#endif

}  // namespace
}  // namespace pyx
