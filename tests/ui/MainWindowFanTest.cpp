// The fans on the main window: what the start-up shows of them, the watch the one-second timer
// keeps over a fan this run fixed, and the fans' way back to the card when the program ends.

#include "MainWindowTestWorld.h"

#include <fstream>

#include "ui/controls/CBitmapSlider.h"
#include "ui/main/MainWindowLayout.h"
#include "ui/main/MainWindowMonitor.h"
#include "ui/main/ProgramEnd.h"
#include "ui/main/TrayIcon.h"

#include "gpu/NvApiIds.h"

using namespace pyx;

namespace {

// "Preformance.txt" as the program writes it: UTF-16 with its byte-order mark.
void WriteSettingsFile(const std::filesystem::path& file, std::u16string_view text)
{
    std::ofstream out(file, std::ios::binary);
    for (const char16_t unit : u"\xFEFF" + std::u16string(text)) {
        out.put(static_cast<char>(unit & 0xFF));
        out.put(static_cast<char>(unit >> 8));
    }
}

uint32_t CoolerLevel(MainWindowWorld& world)
{
    sim::SimCard& card = world.simLib->Card(0);
    std::lock_guard lock(card.stateMutex);
    return card.tuning.coolers.at(0).currentLevel;
}

// Whether the card's own curve drives its fan (the library cooler's policy).
bool FanAutomatic(MainWindowWorld& world)
{
    sim::SimCard& card = world.simLib->Card(0);
    std::lock_guard lock(card.stateMutex);
    return card.tuning.coolers.at(0).policy == sim::kSimCoolerPolicyAuto;
}

void SetTemperature(MainWindowWorld& world, int32_t celsius)
{
    sim::SimCard& card = world.simLib->Card(0);
    std::lock_guard lock(card.stateMutex);
    card.sensors.at(0).currentC = celsius;
}

// The fan fixed by a Custom Apply of the window.
void FixTheFan(MainWindowWorld& world)
{
    const qsizetype applied = world.prompts.informations.size();
    world.Click(kIdCustom);
    world.Click(kIdApply);
    ASSERT_EQ(world.prompts.informations.size(), applied + 1);
    ASSERT_FALSE(FanAutomatic(world)) << "Custom fixes the fan";
}

// A card whose fan the library's cooler levels drive (thermal limit 83 C), its fan fixed.
void OpenWithTheFanFixed(MainWindowWorld& world)
{
    ASSERT_TRUE(world.Open());
    FixTheFan(world);
}

void UnsupportFanRestore(MainWindowWorld& world)
{
    world.simLib->SetUnsupported(NvOpId(NvOp::RestoreCoolerSettings));
}

} // namespace

// The start-up pressed GPU 0's button before the stored settings were refreshed onto the page;
// an automatic fan has no level in the file, so the refresh put the fan slider on its minimum
// and an unchanged Custom Apply fixed the fan there.
TEST(MainWindowFans, AStoredAutomaticFanShowsAndAppliesTheLevelTheCardRuns)
{
    MainWindowWorld world(ScenarioText("fan-type0-library.json"));
    WriteSettingsFile(world.core->settings.TuningFile(), u"[Gpu1]\r\nId=1b80\r\nFanWorkMode=1\r\nGpuMode=4\r\n");
    ASSERT_TRUE(world.Open());
    CVornDlg& w = *world.window;
    ASSERT_EQ(w.Page().tuningMode, kTuningModeCustom);
    const int cardLevel = static_cast<int>(CoolerLevel(world));
    CBitmapSlider* fan = w.Controls().Slider(kIdFanSlider);
    ASSERT_NE(cardLevel, fan->GetRangeMin()) << "the scenario must tell the two apart";
    EXPECT_EQ(fan->GetPos(), cardLevel);
    EXPECT_EQ(w.Page().fan.pos, cardLevel);

    const size_t mark = world.Trace().size();
    world.Click(kIdApply);
    // The fan's writes: the level shown, never the minimum nor a hand-back instead.
    const std::vector<std::string> fanWrites = world.Changes(mark, {"SetCoolerLevels", "RestoreCoolerSettings"});
    ASSERT_FALSE(fanWrites.empty());
    for (const std::string& line : fanWrites)
        EXPECT_NE(line.find("SetCoolerLevels gpu=0 cooler=0 level=" + std::to_string(cardLevel) + " "), std::string::npos)
            << line;
    EXPECT_EQ(CoolerLevel(world), static_cast<uint32_t>(cardLevel));
}

// A stored fixed level no user could have chosen (the line lost, or a fallback in another unit)
// leaves the fan to the card, and the start says so without waiting for an answer.
TEST(MainWindowFans, AStoredLevelTheCardWouldNotTakeLeavesTheFanAutomaticAndIsToldAtStart)
{
    MainWindowWorld world(ScenarioText("fan-type0-library.json"));
    world.trayAvailable = false;
    WriteSettingsFile(world.core->settings.TuningFile(), u"[Gpu1]\r\nId=1b80\r\nFanWorkMode=2\r\nGpuMode=4\r\n");
    ASSERT_TRUE(world.Open());
    EXPECT_TRUE(FanAutomatic(world));
    ASSERT_EQ(world.prompts.notices.size(), 1);
    EXPECT_TRUE(world.prompts.notices[0].startsWith(QStringLiteral("Preformance.txt: Not every setting was applied.")))
        << world.prompts.notices[0].toStdString();
    EXPECT_TRUE(world.prompts.notices[0].contains(QStringLiteral("fan speed 0 %"))) << world.prompts.notices[0].toStdString();
    EXPECT_TRUE(world.prompts.warnings.isEmpty()) << "nothing that waits for an answer";
}

// The watch runs on every tick, hidden or not, and tells the user once per hand-back: beside the
// tray icon, or in a box the timer does not wait for where the desktop has no tray.
TEST(MainWindowFans, AFanFixedAtTheThermalLimitIsHandedBackAndTheUserTold)
{
    struct Case
    {
        const char* what;
        bool tray;
        bool hidden;
    };
    const QString told = QStringLiteral("GPU 0 reached 90 C, its thermal limit of 83 C, while a fan was fixed below "
                                        "full speed: the fan is back under the card's own control.");
    for (const Case c : {Case{"tray, shown", true, false}, Case{"tray, hidden", true, true},
                         Case{"no tray, shown", false, false}, Case{"no tray, hidden", false, true}}) {
        SCOPED_TRACE(c.what);
        MainWindowWorld world(ScenarioText("fan-type0-library.json"));
        world.trayAvailable = c.tray;
        OpenWithTheFanFixed(world);
        if (c.hidden)
            world.Click(kIdHide);
        ASSERT_EQ(world.window->isVisible() && !world.window->isMinimized(), !c.hidden);
        MainWindowMonitor& monitor = world.window->Monitor();
        TrayIcon& tray = world.window->Tray();

        monitor.OnTimer();
        EXPECT_FALSE(FanAutomatic(world)) << "below its limit the card keeps the fixed fan";
        EXPECT_TRUE(tray.LastWarning().isEmpty());
        EXPECT_TRUE(world.prompts.notices.isEmpty());

        SetTemperature(world, 90);
        // The card's own control runs the fan at another level than the one fixed: the slider
        // must follow it.
        world.simLib->Card(0).tuning.coolers.at(0).defaultLevel = 45;
        monitor.OnTimer();
        EXPECT_TRUE(FanAutomatic(world));
        EXPECT_EQ(world.window->Page().fan.pos, 45);
        EXPECT_EQ(world.window->Controls().Slider(kIdFanSlider)->GetPos(), 45);
        EXPECT_EQ(tray.LastWarning(), c.tray ? told : QString());
        EXPECT_EQ(world.prompts.notices, c.tray ? QStringList() : QStringList{told});
        EXPECT_TRUE(world.prompts.warnings.isEmpty()) << "nothing that waits for an answer";

        monitor.OnTimer();
        EXPECT_EQ(world.prompts.notices.size() + (tray.LastWarning().isEmpty() ? 0 : 1), 1) << "told once";
    }
}

// Quit ends the program through the core's end: with the option on the fixed fan goes back to
// the card, and what the card refused of that is written to standard error; with it off the fan
// stays as the user fixed it.
TEST(MainWindowFans, QuitHandsTheFixedFanBackOnlyWhenTheOptionsAsk)
{
    struct Case
    {
        const char* what;
        bool option;
        bool restoreRefused;
        bool automaticAfter;
        size_t restoresSent;
    };
    for (const Case c : {Case{"option off", false, false, false, 0}, Case{"option on", true, false, true, 1},
                         Case{"option on, refused", true, true, false, 1}}) {
        SCOPED_TRACE(c.what);
        MainWindowWorld world(ScenarioText("fan-type0-library.json"));
        world.core->options.fansAutomaticOnExit = c.option;
        OpenWithTheFanFixed(world);
        if (c.restoreRefused)
            UnsupportFanRestore(world);
        const size_t mark = world.Trace().size();

        testing::internal::CaptureStderr();
        world.window->Tray().QuitAction()->trigger();
        const std::string errors = testing::internal::GetCapturedStderr();
        EXPECT_EQ(world.quitCalls, 1);
        EXPECT_EQ(FanAutomatic(world), c.automaticAfter);
        EXPECT_EQ(world.Changes(mark, {"RestoreCoolerSettings"}).size(), c.restoresSent);
        if (c.restoreRefused)
            EXPECT_NE(errors.find("pyxtune: at exit GPU 0 refused automatic fan control: this card does not "
                                  "support it (status -104)"),
                      std::string::npos)
                << errors;
        else
            EXPECT_EQ(errors.find("refused"), std::string::npos) << errors;

        // Whatever else ends the program later finds nothing left to hand back.
        const size_t after = world.Trace().size();
        EndProgram(*world.core);
        EXPECT_TRUE(world.Changes(after).empty());
    }
}

TEST(MainWindowFans, ResetNamesTheFanTheCardWouldNotTakeBack)
{
    MainWindowWorld world(ScenarioText("fan-type0-library.json"));
    OpenWithTheFanFixed(world);
    world.Click(kIdReset);
    EXPECT_TRUE(FanAutomatic(world));
    EXPECT_TRUE(world.prompts.warnings.isEmpty()) << "a reset the card took whole says nothing";

    FixTheFan(world);
    UnsupportFanRestore(world);
    world.Click(kIdReset);
    EXPECT_FALSE(FanAutomatic(world));
    ASSERT_EQ(world.prompts.warnings.size(), 1);
    EXPECT_TRUE(world.prompts.warnings[0].contains(
        QStringLiteral("GPU 0 refused:\n  automatic fan control: this card does not support it (status -104)")))
        << world.prompts.warnings[0].toStdString();
}
