// The main window's commands on simulated cards, checked through the trace of what reached
// the cards.

#include "MainWindowTestWorld.h"

#include <QComboBox>
#include <QSlider>

#include "ui/controls/CMPButton.h"
#include "app/TuningSettingsStore.h"
#include "ui/main/LedPageCommands.h"
#include "ui/main/MainWindowCommands.h"
#include "ui/main/MainWindowLayout.h"
#include "sim/SimLedController.h"

using namespace pyx;

namespace {

std::string OnlyZone58()
{
    std::string json = ScenarioText("led-zone.json");
    for (const char* other : {"0x46", "0x48", "0x4A", "0x4C"}) {
        const std::string entry = std::string("{\"address\": \"") + other + "\", \"model\": \"led-zone\"}";
        size_t at = json.find(entry);
        EXPECT_NE(at, std::string::npos) << other;
        if (at == std::string::npos)
            continue;
        size_t end = at + entry.size();
        // Drop the entry with the comma that joins it to its neighbour.
        if (json[end] == ',')
            ++end;
        else if (json.rfind(',', at) != std::string::npos)
            at = json.rfind(',', at);
        json.erase(at, end - at);
    }
    return json;
}

} // namespace

TEST(MainWindowCommands, CancelOnTheWarningWritesNothing)
{
    MainWindowWorld world(sim::SimScenario::DefaultJson());
    ASSERT_TRUE(world.Open());
    CVornDlg& w = *world.window;
    const uint8_t modeBefore = world.core->State().gpuMode;
    for (int mode : {kIdExtreme, kIdPerformance, kIdCustom}) {
        world.Click(mode);
        world.prompts.answerOk = false;
        const size_t mark = world.Trace().size();
        world.Click(kIdApply);
        EXPECT_TRUE(world.Changes(mark).empty()) << mode << ": " << world.Changes(mark).front();
    }
    EXPECT_EQ(world.prompts.questions.size(), 3);
    EXPECT_TRUE(world.prompts.questions[0].startsWith(QString::fromUtf8("警告")));
    EXPECT_TRUE(world.prompts.informations.isEmpty());
    EXPECT_EQ(world.core->State().gpuMode, modeBefore);
    EXPECT_FALSE(w.Page().settingsCommitted);
    EXPECT_FALSE(w.Flags().profileDialogOpen);
}

TEST(MainWindowCommands, CommonAppliesWithoutWarningAndOkRunsTheOthers)
{
    MainWindowWorld world(sim::SimScenario::DefaultJson());
    ASSERT_TRUE(world.Open());
    world.Click(kIdCommon);
    EXPECT_FALSE(world.window->Controls().Control(kIdOverlay)->isHidden());
    EXPECT_TRUE(world.window->Controls().Control(kIdGpuClockSlider)->isHidden());
    const size_t mark = world.Trace().size();
    world.Click(kIdApply);
    EXPECT_TRUE(world.prompts.questions.isEmpty());
    ASSERT_EQ(world.prompts.informations.size(), 1);
    EXPECT_EQ(world.prompts.informations[0], QStringLiteral("Hardware settings applied!"));
    const auto changes = world.Changes(mark);
    EXPECT_GE(CountLines(changes, {"SetPstates20", "domain=0", "deltaKHz=0 "}), 1u);
    EXPECT_EQ(CountLines(changes, {"PowerPoliciesSetStatus"}), 1u);
    EXPECT_EQ(world.core->State().gpuMode, kTuningModeCommon);
    EXPECT_TRUE(world.window->Page().settingsCommitted);

    // Performance with OK: 3 % of the 1,683,000 kHz boost clock.
    world.Click(kIdPerformance);
    const size_t mark2 = world.Trace().size();
    world.Click(kIdApply);
    EXPECT_EQ(world.prompts.questions.size(), 1);
    EXPECT_EQ(CountLines(world.Changes(mark2), {"SetPstates20", "domain=0", "deltaKHz=50490 "}), 1u);
    EXPECT_EQ(CountLines(world.Changes(mark2), {"PowerPoliciesSetStatus", "power=90000"}), 1u);
}

TEST(MainWindowCommands, ChoosingModesAndColoursChangesNothingOnTheCard)
{
    MainWindowWorld world(ScenarioText("led-effect.json"));
    ASSERT_TRUE(world.Open());
    CVornDlg& w = *world.window;
    const size_t mark = world.Trace().size();
    world.Click(kIdExtreme);
    world.Click(kIdSwatch1 + 3);
    world.Click(kIdEffectMode1 + 2);
    world.Click(kIdBasicStatic + 1);
    EXPECT_TRUE(world.Changes(mark).empty());
    EXPECT_EQ(w.Page().tuningMode, kTuningModeExtreme);
    EXPECT_EQ(w.LedPage().colourPreset, 4);
    EXPECT_EQ(w.LedPage().gm2Mode, 3u);
    EXPECT_EQ(w.LedPage().ledMode, 1u);
    // Radio groups: exactly the chosen button shows its selected picture.
    for (int k = 0; k < kSwatchCount; ++k)
        EXPECT_EQ(w.Controls().Button(kIdSwatch1 + k)->ShownBitmapId(), k == 3 ? 176 + 2 * k : 175 + 2 * k) << k;
    EXPECT_EQ(w.Controls().Button(kIdExtreme)->ShownBitmapId(), 149);
    EXPECT_EQ(w.Controls().Button(kIdCustom)->ShownBitmapId(), 151);
}

TEST(MainWindowCommands, NextGpuWrapsAndDoesNothingWithOneCard)
{
    MainWindowWorld world(ScenarioText("two-cards.json"));
    ASSERT_TRUE(world.Open());
    CVornDlg& w = *world.window;
    ASSERT_EQ(w.Page().selectedGpu, 0);
    EXPECT_TRUE(w.Controls().Control(kIdLink)->isEnabled());
    world.Click(kIdNextGpu);
    EXPECT_EQ(w.Page().selectedGpu, 1);
    EXPECT_EQ(w.Controls().Button(kIdGpu0 + 1)->ShownBitmapId(), 174);
    world.Click(kIdNextGpu);
    EXPECT_EQ(w.Page().selectedGpu, 0);
    world.Click(kIdLink);
    EXPECT_TRUE(w.Page().linkAllGpus);
    EXPECT_EQ(w.Controls().Button(kIdLink)->ShownBitmapId(), 197);

    MainWindowWorld single(sim::SimScenario::DefaultJson());
    ASSERT_TRUE(single.Open());
    single.Click(kIdNextGpu);
    single.Click(kIdLink);
    EXPECT_EQ(single.window->Page().selectedGpu, 0);
    EXPECT_FALSE(single.window->Page().linkAllGpus);
}

TEST(MainWindowCommands, HideSavesUnlessAnApplyOrResetRan)
{
    {
        MainWindowWorld world(sim::SimScenario::DefaultJson());
        ASSERT_TRUE(world.Open());
        ASSERT_FALSE(world.SettingsFileExists());
        world.Click(kIdHide);
        EXPECT_TRUE(world.SettingsFileExists());
        EXPECT_TRUE(world.window->isHidden());
        EXPECT_FALSE(world.window->Flags().mainWindowShown);
    }
    {
        MainWindowWorld world(sim::SimScenario::DefaultJson());
        ASSERT_TRUE(world.Open());
        world.Click(kIdReset);
        world.Click(kIdHide);
        EXPECT_FALSE(world.SettingsFileExists());
    }
    {
        // A refused apply commits nothing: the hide still saves.
        MainWindowWorld world(sim::SimScenario::DefaultJson());
        ASSERT_TRUE(world.Open());
        world.prompts.answerOk = false;
        world.Click(kIdApply);
        world.Click(kIdHide);
        EXPECT_TRUE(world.SettingsFileExists());
    }
}

// An Apply is kept only when the user keeps it, and what is kept is what the next start puts
// back: the file is written on Keep (a hide after an Apply saves nothing, and Quit never did, so
// an applied tuning used to be lost at the next start); Revert, no answer, and the default
// button take the card back to what it held and write nothing.
TEST(MainWindowCommands, AnApplyIsKeptAndSavedOnlyWhenTheUserKeepsIt)
{
    struct Case {
        const char* what;
        bool ask;
        KeepAnswer answer;
        bool kept;
    };
    for (const Case c : {Case{"kept", true, KeepAnswer::Keep, true}, Case{"reverted", true, KeepAnswer::Revert, false},
                         Case{"no answer in time", true, KeepAnswer::NoAnswer, false},
                         Case{"not asked", false, KeepAnswer::Revert, true}}) {
        SCOPED_TRACE(c.what);
        MainWindowWorld world(sim::SimScenario::DefaultJson());
        ASSERT_TRUE(world.Open());
        world.core->options.askBeforeKeeping = c.ask;
        world.core->options.revertAfterS = 7;
        const int32_t before = world.simLib->Card(0).tuning.graphics.deltaKHz;
        world.prompts.keepAnswer = c.answer;
        world.Click(kIdPerformance);
        world.Click(kIdApply);
        EXPECT_EQ(world.prompts.keepSeconds, c.ask ? QList<int>{7} : QList<int>{});
        EXPECT_EQ(world.prompts.informations.size(), 1) << "the result is shown, in the keep box when asked";
        EXPECT_EQ(world.simLib->Card(0).tuning.graphics.deltaKHz != before, c.kept);
        EXPECT_EQ(world.SettingsFileExists(), c.kept);
        EXPECT_EQ(world.core->State().gpuMode, c.kept ? kTuningModePerformance : 0);
        world.Click(kIdHide);
        EXPECT_EQ(world.SettingsFileExists(), c.kept) << "a hide after an Apply saves nothing";
    }
}

TEST(MainWindowCommands, ResetOnAnEffectControllerCard)
{
    MainWindowWorld world(ScenarioText("led-effect.json"));
    ASSERT_TRUE(world.Open());
    CVornDlg& w = *world.window;
    ASSERT_EQ(w.LedCommands().ProbedKind(0), LedKind::EffectAC);
    EXPECT_EQ(w.Skin().Id(), kSkinEffect);
    const size_t mark = world.Trace().size();
    world.Click(kIdReset);
    const auto writes = world.Changes(mark, {"I2CWrite"});
    ASSERT_GE(writes.size(), 4u);
    EXPECT_EQ(CountLines({writes[0]}, {"addr=0xac", "reg=0x21", "data=000603"}), 1u) << writes[0];
    EXPECT_EQ(CountLines({writes[1]}, {"addr=0xac", "reg=0x30", "data=00 "}), 1u) << writes[1];
    EXPECT_EQ(CountLines({writes[2]}, {"addr=0xb0", "reg=0x30", "data=00 "}), 1u) << writes[2];
    EXPECT_EQ(CountLines({writes[3]}, {"addr=0xb0", "reg=0x21", "data=000603"}), 1u) << writes[3];
    EXPECT_EQ(world.core->State().ledSettings.gm2Mode, 9);
    EXPECT_EQ(w.LedPage().gm2Mode, 9u);
    EXPECT_EQ(w.Controls().Button(kIdEffectMode1 + 8)->ShownBitmapId(), 174);
    // The tuning half ran too.
    EXPECT_GE(CountLines(world.Changes(mark), {"SetPstates20", "deltaKHz=0 "}), 2u);
    EXPECT_TRUE(w.Page().settingsCommitted);
    EXPECT_TRUE(world.prompts.warnings.isEmpty()) << world.prompts.warnings.join("\n").toStdString();

    // A fitted controller that stops answering: the reset goes on and the user is told.
    auto* effectB0 = world.simLib->Card(0).bus.DeviceAs<pyx::sim::SimLedController>(0xB0);
    ASSERT_NE(effectB0, nullptr);
    effectB0->answering = false;
    world.Click(kIdReset);
    ASSERT_EQ(world.prompts.warnings.size(), 1);
    EXPECT_TRUE(world.prompts.warnings[0].contains(QStringLiteral("GPU 0: 0xB0 register 0x30 (status -1)")))
        << world.prompts.warnings[0].toStdString();
    EXPECT_EQ(world.core->State().ledSettings.gm2Mode, 9) << "0xAC took its reset";
}

TEST(MainWindowCommands, ResetOnZoneControllerCardsInTheirOrder)
{
    struct Case {
        std::string json;
        LedKind kind;
        const char* order[3];
    };
    const Case cases[] = {{ScenarioText("led-zone.json"), LedKind::Zone46, {"addr=0x46", "addr=0x48", "addr=0x58"}},
                          {OnlyZone58(), LedKind::Zone58, {"addr=0x58", "addr=0x46", "addr=0x48"}}};
    for (const Case& c : cases) {
        MainWindowWorld world(c.json);
        ASSERT_TRUE(world.Open());
        CVornDlg& w = *world.window;
        ASSERT_EQ(w.LedCommands().ProbedKind(0), c.kind);
        w.Controls().ColourTrackbar(1)->setValue(90);
        const size_t mark = world.Trace().size();
        world.Click(kIdReset);
        // Every burst is sent; only controllers that are fitted answer it.
        const auto all = world.Changes(mark, {"I2CWrite", "I2CWriteEx"});
        std::vector<std::string> bursts;
        for (const std::string& l : all)
            if (l.find("reg=0x02 data=ff00000005") != std::string::npos && l.find("I2CWrite ") != std::string::npos)
                bursts.push_back(l);
        ASSERT_EQ(bursts.size(), 3u) << LedKindNumber(c.kind);
        for (int i = 0; i < 3; ++i)
            EXPECT_NE(bursts[static_cast<size_t>(i)].find(c.order[i]), std::string::npos) << bursts[static_cast<size_t>(i)];
        EXPECT_EQ(w.LedPage().gm1Mode, 1u);
        EXPECT_EQ(world.core->State().ledSettings.gm1Mode, 1);
        EXPECT_EQ(w.Controls().ColourTrackbar(0)->value(), 255);
        EXPECT_EQ(w.Controls().ColourTrackbar(1)->value(), 0);
        // Zones the board does not have stay silent without a warning.
        EXPECT_TRUE(world.prompts.warnings.isEmpty()) << world.prompts.warnings.join("\n").toStdString();
    }
}

TEST(MainWindowCommands, ResetWithoutLightingStillResetsTheTuning)
{
    MainWindowWorld world(ScenarioText("minimal.json"));
    ASSERT_TRUE(world.Open());
    ASSERT_EQ(world.window->LedCommands().ProbedKind(0), LedKind::None);
    EXPECT_FALSE(world.window->Controls().Control(kIdTarget1)->isEnabled());
    const size_t mark = world.Trace().size();
    world.Click(kIdReset);
    EXPECT_TRUE(world.Changes(mark, {"I2CWrite"}).empty());
    EXPECT_GE(CountLines(world.Changes(mark), {"SetPstates20", "deltaKHz=0 "}), 2u);
}

TEST(MainWindowCommands, TargetButtonsSwitchThePanels)
{
    MainWindowWorld world(ScenarioText("led-zone.json"));
    ASSERT_TRUE(world.Open());
    CVornDlg& w = *world.window;
    EXPECT_EQ(w.Skin().Id(), kSkinZone);
    EXPECT_FALSE(w.Controls().Control(kIdZoneMode1)->isHidden());
    EXPECT_TRUE(w.Controls().Control(kIdEffectMode1)->isHidden());
    world.Click(kIdTarget1 + 4);
    EXPECT_EQ(w.Skin().Id(), kSkinEffect);
    EXPECT_EQ(w.LedPage().boards[0].ledTarget, LedTarget::EffectAC);
    EXPECT_TRUE(w.Controls().Control(kIdZoneMode1)->isHidden());
    EXPECT_FALSE(w.Controls().Control(kIdEffectMode1 + 10)->isHidden());
    world.Click(kIdTarget1);
    EXPECT_EQ(w.Skin().Id(), kSkinNormal);
    EXPECT_FALSE(w.Controls().Control(kIdBasicStatic)->isHidden());
    EXPECT_FALSE(w.Controls().TimerCombo(0)->isHidden());
    EXPECT_TRUE(w.Controls().Control(kIdEffectMode1)->isHidden());
}

TEST(MainWindowCommands, LinkedApplyReachesEveryCardAndUnlinkedOnlyTheSelectedOne)
{
    MainWindowWorld world(ScenarioText("two-cards.json"));
    ASSERT_TRUE(world.Open());
    world.Click(kIdCommon);
    size_t mark = world.Trace().size();
    world.Click(kIdApply);
    EXPECT_EQ(CountLines(world.Changes(mark), {"PowerPoliciesSetStatus", "gpu=0"}), 1u);
    EXPECT_EQ(CountLines(world.Changes(mark), {"PowerPoliciesSetStatus", "gpu=1"}), 0u);

    world.Click(kIdLink);
    mark = world.Trace().size();
    world.Click(kIdApply);
    EXPECT_EQ(CountLines(world.Changes(mark), {"PowerPoliciesSetStatus", "gpu=0"}), 1u);
    EXPECT_EQ(CountLines(world.Changes(mark), {"PowerPoliciesSetStatus", "gpu=1"}), 1u);
}

TEST(MainWindowCommands, StoredSettingsComeBackOnTheButtonsAtStart)
{
    MainWindowWorld world(ScenarioText("led-effect.json"));
    // What an earlier run saved: Performance applied, the effect controller on "meteor".
    AppState& state = world.core->State();
    state.gpuMode = kTuningModePerformance;
    state.ledSettings.ledMode = 1;
    state.ledSettings.gm2Mode = 10;
    ASSERT_EQ(SaveTuningSettings(world.core->Boards(), state, *world.core->settings.TuningFile()), 1);
    state = AppState{};

    ASSERT_TRUE(world.Open());
    CVornDlg& w = *world.window;
    EXPECT_EQ(w.Page().tuningMode, kTuningModePerformance);
    EXPECT_EQ(w.Controls().Button(kIdPerformance)->ShownBitmapId(), 150);
    EXPECT_FALSE(w.Controls().Control(kIdOverlay)->isHidden());
    EXPECT_EQ(w.LedPage().ledMode, 1u);
    EXPECT_EQ(w.LedPage().gm2Mode, 10u);
    EXPECT_EQ(w.Controls().Button(kIdEffectMode1 + 9)->ShownBitmapId(), 174);

    // A stored mode of 0 stands for Custom.
    state.gpuMode = 0;
    w.Commands().RefreshFromSettings();
    world.Settle();
    EXPECT_EQ(w.Page().tuningMode, kTuningModeCustom);
    // As a click on Custom leaves it: the sliders uncovered and Custom the one chosen.
    EXPECT_TRUE(w.Controls().Control(kIdOverlay)->isHidden());
    EXPECT_FALSE(w.Controls().Control(kIdPowerSlider)->isHidden());
    EXPECT_EQ(w.Controls().Button(kIdCustom)->ShownBitmapId(), SelectedImage(kIdCustom));
    EXPECT_EQ(w.Controls().Button(kIdPerformance)->ShownBitmapId(), MainControl(kIdPerformance).normalId);
}

// Reset names what the cards refused in its tuning half as Apply does: each refused value once,
// though Reset sends the clock offsets twice.
TEST(MainWindowCommands, ResetAndApplyNameEachRefusedValueOnce)
{
    struct Case { NvOp refused; std::vector<std::string> named; };
    for (const Case& c : {Case{NvOp::SetPstates20, {"graphics clock offset 0 MHz: ", "memory clock offset 0 MHz: "}},
                          Case{NvOp::PowerPoliciesSetStatus, {"power target 100 %: "}}}) {
        SCOPED_TRACE(NvOpId(c.refused));
        MainWindowWorld world(ScenarioText("minimal.json"));
        ASSERT_TRUE(world.Open());
        world.simLib->SetUnsupported(NvOpId(c.refused));
        world.Click(kIdCommon);  // Common's values are Reset's: the two must name the same
        world.Click(kIdApply);
        world.Click(kIdCustom);
        world.Click(kIdReset);
        ASSERT_EQ(world.prompts.warnings.size(), 2) << world.prompts.warnings.join("\n---\n").toStdString();
        for (const QString& told : world.prompts.warnings)
            for (const std::string& line : c.named)
                EXPECT_EQ(told.count(QString::fromStdString("  " + line)), 1) << line << " in\n" << told.toStdString();
        for (const QString& told : world.prompts.warnings)
            EXPECT_TRUE(told.startsWith("Not every setting was applied.\n\nGPU 0 refused:\n")) << told.toStdString();
    }
}

// A linked Custom Apply sends the shown sliders' values to every card, each through the kind of
// slider that card uses (its clock slider, or the VF sliders standing in for it), whichever
// card is shown and whatever the other kind's sliders held before.
TEST(MainWindowCommands, ALinkedCustomApplySendsTheShownValuesToEveryKindOfCard)
{
    struct Case { int shown; int idShown; int otherFirst; int idOther; };
    // GPU 0 has only P-state offsets (the clock slider); GPU 1 has VF points (the VF sliders).
    for (const Case c : {Case{0, kIdGpuClockSlider, 1, kIdGpuVfSlider}, Case{1, kIdGpuVfSlider, 0, kIdGpuClockSlider}}) {
        SCOPED_TRACE(c.shown);
        MainWindowWorld world(ScenarioText("plain-and-vf-cards.json"));
        ASSERT_TRUE(world.Open());
        world.Click(kIdCustom);
        world.Click(kIdLink);
        world.Click(kIdGpu0 + c.otherFirst);
        world.window->Sliders().OnSliderMoved(c.idOther, 69);
        world.Click(kIdGpu0 + c.shown);
        world.window->Sliders().OnSliderMoved(c.idShown, 61);
        const size_t mark = world.Trace().size();
        world.Click(kIdApply);
        for (int gpu : {0, 1}) {
            std::string last;
            for (const std::string& line : world.Changes(mark, {"SetPstates20"}))
                if (line.find(" gpu=" + std::to_string(gpu) + " ") != std::string::npos &&
                    line.find(" domain=0 ") != std::string::npos)
                    last = line;
            EXPECT_NE(last.find(" deltaKHz=61000 "), std::string::npos) << "GPU " << gpu << ": " << last;
        }
    }
}

// On a card tuned through its VF sliders, the hidden clock slider's value is no choice of the
// user's: a refusal names only the value the user asked for.
TEST(MainWindowCommands, ARefusalNamesOnlyTheValueTheUserAskedFor)
{
    MainWindowWorld world(sim::SimScenario::DefaultJson());
    ASSERT_TRUE(world.Open());
    {
        sim::SimCard& card = world.simLib->Card(0);
        std::lock_guard lock(card.stateMutex);
        card.tuning.memory.editable = false;
    }
    world.Click(kIdCustom);
    ASSERT_TRUE(world.window->Page().memVf.HasRange()) << "the built-in card is tuned through its VF sliders";
    world.window->Sliders().OnSliderMoved(kIdMemVfSlider, 365);
    world.Click(kIdApply);
    ASSERT_EQ(world.prompts.warnings.size(), 1);
    const std::string told = world.prompts.warnings[0].toStdString();
    EXPECT_NE(told.find("  memory clock offset 365 MHz: "), std::string::npos) << told;
    EXPECT_EQ(told.find("memory clock offset 0 MHz"), std::string::npos) << told;
}
