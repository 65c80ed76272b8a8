#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/ScenarioJson.h"
#include "tests/support/TempFolder.h"
#include "gpu/BiosScan.h"
#include "gpu/readmem/BiosDump.h"
#include "gpu/readmem/SysfsRom.h"
#include "platform/SystemPlatform.h"
#include "sim/SimDiscoveryOperations.h"
#include "sim/SimScenario.h"

namespace pyx {
namespace {

namespace fs = std::filesystem;

#ifndef _WIN32  // sysfs device folders carry ':' in their names

// A PCI device folder as sysfs shows it.
void Device(const fs::path& root, const std::string& name, const char* vendor, const char* pciClass,
            const std::string& rom) {
    fs::create_directories(root / name);
    std::ofstream(root / name / "vendor") << vendor << "\n";
    std::ofstream(root / name / "class") << pciClass << "\n";
    if (!rom.empty()) std::ofstream(root / name / "rom", std::ios::binary) << rom;
}

TEST(ReadMem, FindsOnlyNvidiaDisplayDevicesWithARom) {
    test::TempFolder tree;
    Device(tree.Path(), "0000:00:02.0", "0x8086", "0x030000", "intel");
    Device(tree.Path(), "0000:01:00.1", "0x10de", "0x040300", "audio");
    Device(tree.Path(), "0000:02:00.0", "0x10de", "0x030200", "");
    Device(tree.Path(), "0000:01:00.0", "0x10de", "0x030000", "nvidia");
    const auto roms = readmem::FindNvidiaRoms(tree.Path());
    ASSERT_EQ(roms.size(), 1u);
    EXPECT_EQ(roms[0], tree.Path() / "0000:01:00.0" / "rom");
    EXPECT_TRUE(readmem::FindNvidiaRoms(tree.Path() / "missing").empty());
}

TEST(ReadMem, SwitchesTheRomOnOnlyForTheRead) {
    // In a plain file the switch writes land in the first byte: the bytes read show "1",
    // the file afterwards "0".
    test::TempFolder tree;
    Device(tree.Path(), "0000:01:00.0", "0x10de", "0x030000", "XVGA BIOS");
    const fs::path rom = tree.Path() / "0000:01:00.0" / "rom";
    std::string error;
    const auto bytes = readmem::ReadSysfsRom(rom, error);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "1VGA BIOS");
    std::ifstream in(rom);
    std::string after;
    in >> after;
    EXPECT_EQ(after, "0VGA");

    EXPECT_TRUE(readmem::ReadSysfsRom(tree.Path() / "none", error).empty());
    EXPECT_NE(error.find("none"), std::string::npos) << error;
}

TEST(ReadMem, TakesTheSimulatorsBytesOnlyWhenTheProgramSaysSo) {
    test::TempFolder folder;
    const fs::path scenario = folder.Path() / "s.json";
    std::ofstream(scenario) << test::ScenarioJson({test::CardJson(0x1b81, 1, "[]", R"("bios": {"hex": "55 AA 01", "size": 4})")});
    const fs::path empty = folder.Path() / "empty";
    fs::create_directories(empty);
    std::string error;

    auto backend = [&error](std::vector<std::string> args) { return readmem::BackendFromArguments(args, error); };
    EXPECT_EQ(backend({"--backend=sim"}), readmem::BiosBackend::Simulator);
    EXPECT_EQ(backend({"--backend=nvapi"}), readmem::BiosBackend::Card);
    EXPECT_EQ(backend({}), readmem::BiosBackend::Card) << "no word from the program: the card";
    EXPECT_EQ(backend({"--backend=cuda"}), std::nullopt);
    EXPECT_NE(error.find("--backend=cuda"), std::string::npos) << error;
    EXPECT_EQ(backend({"--backend", "sim"}), std::nullopt);
    EXPECT_EQ(backend({"--backend=sim", "--backend=nvapi"}), std::nullopt);

    readmem::BiosSource sim{readmem::BiosBackend::Simulator, scenario.c_str(), empty};
    EXPECT_EQ(readmem::ReadBios(sim, error), (std::vector<uint8_t>{0x55, 0xAA, 0x01, 0x00}));

    // A machine without a readable card gets no bytes at all, whatever scenario is named.
    readmem::BiosSource card{readmem::BiosBackend::Card, scenario.c_str(), empty};
    EXPECT_TRUE(readmem::ReadBios(card, error).empty());
    EXPECT_NE(error.find("no NVIDIA display device"), std::string::npos) << error;
    Device(empty, "0000:01:00.0", "0x10de", "0x030000", "ROMDATA");
    EXPECT_EQ(readmem::ReadBios(card, error).size(), 7u);

    const fs::path absent = folder.Path() / "absent.json";
    readmem::BiosSource broken{readmem::BiosBackend::Simulator, absent.c_str(), empty};
    EXPECT_TRUE(readmem::ReadBios(broken, error).empty());
    EXPECT_NE(error.find("absent.json"), std::string::npos) << error;
}

#if defined(PYX_READMEM_PROGRAM)
// The reader as the program starts it, in a folder of its own, with the simulator named in
// its environment (as every test's is): only the argument may make it take made-up bytes.
TEST(ReadMem, AFailedCardReadWritesNoDumpAndExitsNonZero) {
    if (!readmem::FindNvidiaRoms("/sys/bus/pci/devices").empty())
        GTEST_SKIP() << "this machine has an NVIDIA card whose ROM the reader would read";
    ASSERT_STREQ(std::getenv("PYXTUNE_GPU_BACKEND"), "sim");
    auto launcher = CreateSystemProcessLauncher();
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, std::vector<std::string>{"--backend=nvapi"},
          std::vector<std::string>{"--backend=bogus"}}) {
        test::TempFolder folder;
        const ProcessOutcome outcome = launcher->RunHidden({PYX_READMEM_PROGRAM, args, folder.Path()}, std::chrono::seconds(20));
        ASSERT_TRUE(outcome.started);
        EXPECT_NE(outcome.exitCode, 0) << (args.empty() ? "no argument" : args[0]);
        EXPECT_FALSE(fs::exists(folder.Path() / "PMOut")) << (args.empty() ? "no argument" : args[0]);
    }
    test::TempFolder folder;
    const ProcessOutcome outcome =
        launcher->RunHidden({PYX_READMEM_PROGRAM, {"--backend=sim"}, folder.Path()}, std::chrono::seconds(20));
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_TRUE(fs::exists(folder.Path() / "PMOut"));
}
#endif

#endif

TEST(ReadMem, TheBuiltInBiosCarriesATagButNoFanMarker) {
    const auto result = ScanBios(sim::DefaultBiosImage());
    EXPECT_GE(result.tagIndex, 0);
    EXPECT_FALSE(result.fanMarker) << "the default must not switch every simulated card to type 2";
}

std::string ScenarioError(const std::string& cardExtra) {
    std::string error;
    auto library = sim::SimScenario::FromText(test::ScenarioJson({test::CardJson(0x1b81, 1, "[]", cardExtra)}),
                                              "t.json", error);
    EXPECT_EQ(library, nullptr);
    return error;
}

TEST(ReadMem, BadScenarioBiosOrLevelsNameTheField) {
    EXPECT_NE(ScenarioError(R"("bios": {"hex": "5"})").find("bios.hex"), std::string::npos);
    EXPECT_NE(ScenarioError(R"("bios": {"hex": "5G"})").find("bios.hex"), std::string::npos);
    EXPECT_NE(ScenarioError(R"("bios": {"text": "abc", "offset": 4, "size": 6})").find("bios.size"),
              std::string::npos);
    EXPECT_NE(ScenarioError(R"("bios": {"text": "a", "hex": "00"})").find("bios"), std::string::npos);
    EXPECT_NE(ScenarioError(R"("bios": 5)").find("bios"), std::string::npos);
    EXPECT_NE(ScenarioError(R"("perfLevels": [{"flags": "x"}])").find("perfLevels[0].flags"), std::string::npos);
    EXPECT_NE(ScenarioError(R"("perfLevels": [{"domains": [{"clockKHz": 1}]}])").find("perfLevels[0].domains[0]"),
              std::string::npos);

    std::string error;
    auto library = sim::SimScenario::FromText(
        test::ScenarioJson({test::CardJson(0x1b81, 1, "[]", R"("bios": {"text": "VGA", "offset": 2})")}), "t", error);
    ASSERT_NE(library, nullptr) << error;
    const auto& image = library->Card(0).biosImage;
    EXPECT_EQ(image.size(), sim::kSimBiosDefaultSize);
    EXPECT_EQ(std::string(image.begin() + 2, image.begin() + 5), "VGA");
}

}  // namespace
}  // namespace pyx
