#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/CIniText.h"
#include "app/TuningSettingsStore.h"
#include "gpu/FanControl.h"
#include "gpu/NvApiIds.h"
#include "tests/app/TuningSettingsTestRig.h"

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#endif

namespace pyx::test {
namespace {

std::vector<std::filesystem::path> FilesIn(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) files.push_back(entry.path());
    return files;
}

const std::u16string kPascalSection =
    u"[Gpu1]\r\nId=1b81\r\nFanWorkMode=2\r\nFanSpeed=65\r\nDyaGpuClock=120\r\nDyaMemClock=350\r\n"
    u"PowerTarget=112\r\nThermalLimit=83\r\nGpuMode=3\r\nGpuVF=25000\r\nMemVF=2000\r\nPercentOV=7\r\n"
    u"LEDMODE=9\r\nLED_R_CR=255\r\nLED_G_CR=0\r\nLED_B_CR=0\r\n"
    u"LED_Timer1=0\r\nLED_Timer2=0\r\nLED_Timer3=0\r\nGM1MODE=0\r\nGM2MODE=0\r\n";

TEST(TuningSettingsSaveTest, OneCardIsWrittenKeyByKeyInItsOrder) {
    TuningRig rig(ScenarioJson({kPascalCard}));
    CIniTestFolder folder;
    AppState state;
    state.gpuMode = 3;
    const auto file = folder.Path() / "Preformance.txt";
    ASSERT_EQ(SaveTuningSettings(*rig.table, state, file), 1);

    EXPECT_EQ(CIniTestFolder::ReadBytes(file), CIniTestFolder::Utf16Le(u"\xFEFF" + kPascalSection));
    // The VF read and over-voltage read of the save are kept where the rest of the program looks.
    EXPECT_EQ(state.gpuVfOffset, 25000);
    EXPECT_EQ(state.memVfOffset, 2000);
    EXPECT_EQ(rig.table->percentOv, 7);
}

TEST(TuningSettingsSaveTest, EachOfTwoCardsGetsItsOwnSectionAndReadings) {
    TuningRig rig(ScenarioJson({kPascalCard, kVfCard}));
    CIniTestFolder folder;
    AppState state;
    state.gpuMode = 3;
    state.ledSettings = SampleLed();
    const auto file = folder.Path() / "Led.txt";
    ASSERT_EQ(SaveTuningSettings(*rig.table, state, file), 1);

    // The fan-cooler card reports mode 3 with its first cooler's level; its P-state offset
    // is cut toward zero (-150.999 MHz is -150); its over-voltage is read afresh (0, not 7).
    const std::u16string expected =
        u"\xFEFF"
        u"[Gpu1]\r\nId=1b81\r\nFanWorkMode=2\r\nFanSpeed=65\r\nDyaGpuClock=120\r\nDyaMemClock=350\r\n"
        u"PowerTarget=112\r\nThermalLimit=83\r\nGpuMode=3\r\nGpuVF=25000\r\nMemVF=2000\r\nPercentOV=7\r\n"
        u"LEDMODE=2\r\nLED_R_CR=10\r\nLED_G_CR=20\r\nLED_B_CR=30\r\n"
        u"LED_Timer1=1\r\nLED_Timer2=2\r\nLED_Timer3=3\r\nGM1MODE=4\r\nGM2MODE=5\r\n"
        u"[Gpu2]\r\nId=2684\r\nFanWorkMode=3\r\nFanSpeed=70\r\nDyaGpuClock=-150\r\nDyaMemClock=0\r\n"
        u"PowerTarget=95\r\nThermalLimit=83\r\nGpuMode=3\r\nGpuVF=45000\r\nMemVF=300000\r\nPercentOV=0\r\n"
        u"LEDMODE=2\r\nLED_R_CR=10\r\nLED_G_CR=20\r\nLED_B_CR=30\r\n"
        u"LED_Timer1=1\r\nLED_Timer2=2\r\nLED_Timer3=3\r\nGM1MODE=4\r\nGM2MODE=5\r\n";
    EXPECT_EQ(CIniTestFolder::ReadBytes(file), CIniTestFolder::Utf16Le(expected));
}

TEST(TuningSettingsSaveTest, WithoutCardsTheFileIsTheByteOrderMarkAlone) {
    TuningRig rig(R"({"cards": []})");
    ASSERT_EQ(rig.table->gpuCount, 0);
    CIniTestFolder folder;
    const auto file = folder.WriteBytes("Preformance.txt", CIniTestFolder::Utf16Le(u"\xFEFF[Gpu1]\r\nId=1b81\r\n"));
    AppState state;
    ASSERT_EQ(SaveTuningSettings(*rig.table, state, file), 1);
    EXPECT_EQ(CIniTestFolder::ReadBytes(file), (std::vector<std::byte>{std::byte{0xFF}, std::byte{0xFE}}));
}

TEST(TuningSettingsSaveTest, LinesTheCardCannotFillAreLeftOutOrDefaulted) {
    {
        // An automatic fan has no FanSpeed line.
        TuningRig rig(ScenarioJson({kPascalCard}));
        rig.Tuning(0).coolers[0].policy = sim::kSimCoolerPolicyAuto;
        AppState state;
        const std::u16string text = ComposeTuningSettings(*rig.table, state).Text();
        EXPECT_NE(text.find(u"FanWorkMode=1\r\nDyaGpuClock=120\r\n"), std::u16string::npos) << CIniText::ToUtf8(text);
    }
    {
        // The P-state read is tried twice: one refusal still gives both clock lines, two
        // leave both out.
        TuningRig rig(ScenarioJson({kPascalCard}));
        AppState state;
        rig.Tuning(0).pstatesReadFailures = 1;
        EXPECT_NE(ComposeTuningSettings(*rig.table, state).Text().find(u"DyaGpuClock=120\r\nDyaMemClock=350\r\n"),
                  std::u16string::npos);
        rig.Tuning(0).pstatesReadFailures = 2;
        const std::u16string text = ComposeTuningSettings(*rig.table, state).Text();
        EXPECT_NE(text.find(u"FanSpeed=65\r\nPowerTarget=112\r\n"), std::u16string::npos) << CIniText::ToUtf8(text);
        EXPECT_EQ(text.find(u"Dya"), std::u16string::npos);
    }
    {
        // No power-policy status: no PowerTarget line.
        TuningRig rig(ScenarioJson({kPascalCard}));
        rig.sim->SetUnsupported(NvOpId(NvOp::PowerPoliciesGetStatus));
        AppState state;
        const std::u16string text = ComposeTuningSettings(*rig.table, state).Text();
        EXPECT_NE(text.find(u"DyaMemClock=350\r\nThermalLimit=83\r\nGpuMode=0\r\n"), std::u16string::npos)
            << CIniText::ToUtf8(text);
    }
    {
        // A fan that reports neither mode nor reading: mode 255, speed 40.
        TuningRig rig(ScenarioJson({kPascalCard}));
        rig.table->Board(0).fan.Select(FanPath::FanCoolers);
        AppState state;
        const std::u16string text = ComposeTuningSettings(*rig.table, state).Text();
        EXPECT_NE(text.find(u"FanWorkMode=255\r\nFanSpeed=40\r\n"), std::u16string::npos) << CIniText::ToUtf8(text);
    }
    {
        // Fan coolers this program handed back to automatic control are saved as automatic
        // (level 0), whatever level they run at: a saved level would fix them there.
        TuningRig rig(ScenarioJson({kVfCard}));
        AppState state;
        std::u16string text = ComposeTuningSettings(*rig.table, state).Text();
        EXPECT_NE(text.find(u"FanWorkMode=3\r\nFanSpeed=70\r\n"), std::u16string::npos) << CIniText::ToUtf8(text);
        ASSERT_EQ(SetFanCoolerLevel(*rig.table, 0, 55.0f, 1), kNvOk);
        text = ComposeTuningSettings(*rig.table, state).Text();
        EXPECT_NE(text.find(u"FanWorkMode=3\r\nFanSpeed=55\r\n"), std::u16string::npos) << CIniText::ToUtf8(text);
        ASSERT_EQ(SetFanCoolerLevel(*rig.table, 0, 0.0f, 1), kNvOk);
        text = ComposeTuningSettings(*rig.table, state).Text();
        EXPECT_NE(text.find(u"FanWorkMode=3\r\nFanSpeed=0\r\n"), std::u16string::npos) << CIniText::ToUtf8(text);
    }
    {
        // Fan coolers whose level cannot be read are saved as automatic: a lost level is set
        // again with one Apply, a guessed one would fix the fans there at every start.
        TuningRig rig(ScenarioJson({kVfCard}));
        rig.sim->SetUnsupported(NvOpId(NvOp::FanCoolersGetStatus));
        AppState state;
        const std::u16string text = ComposeTuningSettings(*rig.table, state).Text();
        EXPECT_NE(text.find(u"FanWorkMode=3\r\nFanSpeed=0\r\n"), std::u16string::npos) << CIniText::ToUtf8(text);
    }
}

// The thermal limit is written in whole degrees as the acoustic policy holds it, and only where
// a load would set exactly that limit again: a policy that cannot be read, and a limit between
// two degrees, leave the line out.
TEST(TuningSettingsSaveTest, TheThermalLimitIsWrittenOnlyWhenItCanBeSetAgainExactly) {
    struct Case {
        const char* name;
        std::function<void(TuningRig&)> arrange;
        const char16_t* expected;
    };
    const std::u16string omitted = u"PowerTarget=112\r\nGpuMode=0\r\n";
    const Case cases[] = {
        {"as the card comes", [](TuningRig&) {}, u"PowerTarget=112\r\nThermalLimit=83\r\nGpuMode=0\r\n"},
        {"set to 90 by Performance", [](TuningRig& r) { r.AcousticPolicy(0).currentLimit = 90 * 256; },
         u"PowerTarget=112\r\nThermalLimit=90\r\nGpuMode=0\r\n"},
        {"status unreadable", [](TuningRig& r) { r.sim->SetUnsupported(NvOpId(NvOp::ThermalPoliciesGetStatus)); },
         omitted.c_str()},
        {"information unreadable", [](TuningRig& r) { r.sim->SetUnsupported(NvOpId(NvOp::ThermalPoliciesGetInfo)); },
         omitted.c_str()},
        {"policies unsupported", [](TuningRig& r) { r.Tuning(0).thermalPoliciesSupported = false; }, omitted.c_str()},
        // Policy 0, listed first, holds a whole 83 degrees throughout: it is not the one saved.
        {"no acoustic policy", [](TuningRig& r) { r.AcousticPolicy(0).id = 2; }, omitted.c_str()},
        {"half a degree", [](TuningRig& r) { r.AcousticPolicy(0).currentLimit = 83 * 256 + 128; },
         omitted.c_str()},
        {"1/256 degree below", [](TuningRig& r) { r.AcousticPolicy(0).currentLimit = 84 * 256 - 1; },
         omitted.c_str()},
    };
    for (const Case& c : cases) {
        TuningRig rig(ScenarioJson({kPascalCard}));
        c.arrange(rig);
        AppState state;
        const std::u16string text = ComposeTuningSettings(*rig.table, state).Text();
        EXPECT_NE(text.find(c.expected), std::u16string::npos) << c.name << "\n" << CIniText::ToUtf8(text);
    }
}

TEST(TuningSettingsSaveTest, AFailedVfReadKeepsTheOffsetsLastRead) {
    TuningRig rig(ScenarioJson({kPascalCard}));
    rig.sim->SetUnsupported(NvOpId(NvOp::ClkVfPointsGetControl));
    AppState state;
    state.gpuVfOffset = -7000;
    state.memVfOffset = 9000;
    const std::u16string text = ComposeTuningSettings(*rig.table, state).Text();
    EXPECT_NE(text.find(u"GpuVF=-7000\r\nMemVF=9000\r\n"), std::u16string::npos) << CIniText::ToUtf8(text);
}

TEST(TuningSettingsSaveTest, AnEmptyNameMeansPreformanceTxtInTheCurrentFolder) {
    TuningRig rig(ScenarioJson({kPascalCard}));
    CIniTestFolder folder;
    const auto before = std::filesystem::current_path();
    std::filesystem::current_path(folder.Path());
    AppState state;
    const int32_t result = SaveTuningSettings(*rig.table, state, {});
    std::filesystem::current_path(before);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(FilesIn(folder.Path()), std::vector<std::filesystem::path>{folder.Path() / "Preformance.txt"});
}

TEST(TuningSettingsSaveTest, AFileThatCannotBeWrittenGivesZeroAndChangesNothing) {
    TuningRig rig(ScenarioJson({kPascalCard}));
    CIniTestFolder folder;
    AppState state;
    rig.table->percentOv = 2;
    EXPECT_EQ(SaveTuningSettings(*rig.table, state, folder.Path() / "no-such-folder" / "Preformance.txt"), 0);
    EXPECT_TRUE(FilesIn(folder.Path()).empty());
    // The cards were not read: the offsets and the over-voltage the save would refresh are
    // those held before (the card has 25000, 2000 and 7 %).
    EXPECT_EQ(state.gpuVfOffset, 0);
    EXPECT_EQ(state.memVfOffset, 0);
    EXPECT_EQ(rig.table->percentOv, 2);
}

// Any name the file system takes can be saved to: the save's own temporary file must not
// need a longer name than the target's.
TEST(TuningSettingsSaveTest, TheLongestNameTheFolderTakesCanBeSaved) {
    TuningRig rig(ScenarioJson({kPascalCard}));
    CIniTestFolder folder;
    AppState state;
    const auto file = folder.Path() / (std::string(251, 'p') + ".ini");
    ASSERT_TRUE(std::ofstream(file).good()) << "the test's folder takes no 255-byte names";
    std::filesystem::remove(file);
    ASSERT_EQ(SaveTuningSettings(*rig.table, state, file), 1);
    EXPECT_EQ(FilesIn(folder.Path()), std::vector<std::filesystem::path>{file});
}

#ifndef _WIN32  // RLIMIT_FSIZE stands in for a full disk; Windows has no such limit
// The disk fills while the new text is written: the save says so, and the previous settings
// are still there byte for byte, with no partial file beside them.
TEST(TuningSettingsSaveTest, AnInterruptedSaveLeavesThePreviousFile) {
    TuningRig rig(ScenarioJson({kPascalCard, kVfCard}));
    CIniTestFolder folder;
    const auto oldBytes = CIniTestFolder::Utf16Le(u"\xFEFF[Gpu1]\r\nId=1b81\r\nFanWorkMode=1\r\n");
    const auto file = folder.WriteBytes("Preformance.txt", oldBytes);
    AppState state;
    AppState probe;
    ASSERT_GT(ComposeTuningSettings(*rig.table, probe).Bytes().size(), 600u);
    rig.table->percentOv = 0;  // as before the cards were first read

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 300;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int32_t result = SaveTuningSettings(*rig.table, state, file);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(result, 0);
    EXPECT_EQ(CIniTestFolder::ReadBytes(file), oldBytes);
    EXPECT_EQ(FilesIn(folder.Path()), std::vector<std::filesystem::path>{file});
    // What the cards said on the way is not kept either: the save changed nothing.
    EXPECT_EQ(state.gpuVfOffset, 0);
    EXPECT_EQ(state.memVfOffset, 0);
    EXPECT_EQ(rig.table->percentOv, 0);
}
#endif

}  // namespace
}  // namespace pyx::test
