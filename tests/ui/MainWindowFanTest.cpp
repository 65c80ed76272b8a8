// The fans on the main window: shown at start, watched by the timer, handed back at the end.

#include "MainWindowTestWorld.h"
#include "gpu/NvApiIds.h"
#include "ui/controls/CBitmapSlider.h"
#include "ui/main/MainWindowLayout.h"
#include "ui/main/MainWindowMonitor.h"
#include "ui/main/ProgramEnd.h"
#include "ui/main/TrayIcon.h"

#include <gmock/gmock.h>

#include <fstream>

using namespace pyx;

namespace {

// GPU 0 in Custom mode, stored as the program writes the file: UTF-16 with its byte-order mark.
bool OpenWithStoredFanMode(MainWindowWorld& world, const std::u16string& fanWorkMode)
{
    std::ofstream out(*world.core->settings.TuningFile(), std::ios::binary);
    for (const char16_t unit : u"\xFEFF[Gpu1]\r\nId=1b80\r\nFanWorkMode=" + (fanWorkMode + u"\r\nGpuMode=4\r\n"))
        out << static_cast<char>(unit & 0xFF) << static_cast<char>(unit >> 8);
    out.close();
    return world.Open();
}

// GPU 0's first cooler after `change`, both under the lock the simulator's threads share.
sim::SimCooler Cooler(MainWindowWorld& world, void (*change)(sim::SimCard&) = [](sim::SimCard&) {})
{
    sim::SimCard& card = world.simLib->Card(0);
    std::lock_guard lock(card.stateMutex);
    change(card);
    return card.tuning.coolers.at(0);
}

bool FanAutomatic(MainWindowWorld& world) { return Cooler(world).policy == sim::kSimCoolerPolicyAuto; }

// The scenario's fan is driven by the library's cooler levels; its thermal limit is 83 C.
void OpenWithTheFanFixed(MainWindowWorld& world)
{
    ASSERT_TRUE(world.Open());
    world.Click(kIdCustom);
    world.Click(kIdApply);
    ASSERT_FALSE(FanAutomatic(world)) << "Custom fixes the fan";
}

} // namespace

// GPU 0's button was once pressed before the stored settings reached the page: an automatic fan
// has no level in the file, so the slider sat on its minimum and an unchanged Apply fixed it there.
TEST(MainWindowFans, AStoredAutomaticFanShowsAndAppliesTheLevelTheCardRuns)
{
    MainWindowWorld world(ScenarioText("fan-type0-library.json"));
    ASSERT_TRUE(OpenWithStoredFanMode(world, u"1"));
    ASSERT_EQ(world.window->Page().tuningMode, kTuningModeCustom);
    const int cardLevel = static_cast<int>(Cooler(world).currentLevel);
    CBitmapSlider* fan = world.window->Controls().Slider(kIdFanSlider);
    ASSERT_NE(cardLevel, fan->GetRangeMin()) << "the scenario must tell the two apart";
    EXPECT_EQ(fan->GetPos(), cardLevel);
    const size_t mark = world.Trace().size();
    world.Click(kIdApply);
    const std::vector<std::string> fanWrites = world.Changes(mark, {"SetCoolerLevels", "RestoreCoolerSettings"});
    const std::string shown = "SetCoolerLevels gpu=0 cooler=0 level=" + std::to_string(cardLevel) + " ";
    EXPECT_THAT(fanWrites, testing::AllOf(testing::Not(testing::IsEmpty()), testing::Each(testing::HasSubstr(shown))));
}

TEST(MainWindowFans, AStoredLevelTheCardWouldNotTakeLeavesTheFanAutomaticAndIsToldAtStart)
{
    MainWindowWorld world(ScenarioText("fan-type0-library.json"));
    world.trayAvailable = false;
    ASSERT_TRUE(OpenWithStoredFanMode(world, u"2"));
    EXPECT_TRUE(FanAutomatic(world));
    ASSERT_EQ(world.prompts.notices.size(), 1);
    const std::string notice = world.prompts.notices[0].toStdString();
    EXPECT_TRUE(notice.starts_with("Preformance.txt: Not every setting was applied.")) << notice;
    EXPECT_NE(notice.find("fan speed 0 %"), std::string::npos) << notice;
    EXPECT_TRUE(world.prompts.warnings.isEmpty()) << "nothing that waits for an answer";
}

// A stored value outside the card's range (a file edited by hand) never reaches the card at
// start; the rest of the file does, and the start names what it left out.
TEST(MainWindowFans, AStoredValueOutsideTheCardsRangeIsNotSentAndIsToldAtStart)
{
    MainWindowWorld world(ScenarioText("fan-type0-library.json"));
    world.trayAvailable = false;
    std::ofstream out(*world.core->settings.TuningFile(), std::ios::binary);
    for (const char16_t unit : std::u16string(u"\xFEFF[Gpu1]\r\nId=1b80\r\nFanWorkMode=1\r\nDyaGpuClock=50\r\n"
                                              u"PowerTarget=-5\r\nGpuMode=4\r\n"))
        out << static_cast<char>(unit & 0xFF) << static_cast<char>(unit >> 8);
    out.close();
    ASSERT_TRUE(world.Open());
    EXPECT_TRUE(world.Changes(0, {"PowerPoliciesSetStatus"}).empty()) << world.Changes(0, {"PowerPoliciesSetStatus"}).front();
    EXPECT_FALSE(world.Changes(0, {"SetPstates20"}).empty()) << "the rest of the file is put back";
    ASSERT_EQ(world.prompts.notices.size(), 1);
    const std::string notice = world.prompts.notices[0].toStdString();
    EXPECT_NE(notice.find("Not sent, outside the card's range:\n  [Gpu1] PowerTarget=-5 % is outside GPU 0's range"),
              std::string::npos) << notice;
}

// The two cases cover both axes: the watch must run while hidden too, and tell through the tray
// where there is one, else in a box the timer does not wait for.
TEST(MainWindowFans, AFanFixedAtTheThermalLimitIsHandedBackAndTheUserToldOnce)
{
    const QString told = QStringLiteral("GPU 0 reached 90 C, its thermal limit of 83 C, while a fan was fixed below "
                                        "full speed: the fan is back under the card's own control.");
    for (const bool trayHidden : {true, false}) {
        SCOPED_TRACE(trayHidden ? "tray, hidden" : "no tray, shown");
        MainWindowWorld world(ScenarioText("fan-type0-library.json"));
        world.trayAvailable = trayHidden;
        OpenWithTheFanFixed(world);
        if (trayHidden)
            world.Click(kIdHide);
        ASSERT_EQ(world.window->isVisible(), !trayHidden);
        const TrayIcon& tray = world.window->Tray();
        world.window->Monitor().OnTimer();
        EXPECT_FALSE(FanAutomatic(world)) << "below its limit the card keeps the fixed fan";
        EXPECT_TRUE(tray.LastWarning().isEmpty() && world.prompts.notices.isEmpty());
        // The card's own control runs the fan at another level than the one fixed: the slider follows.
        Cooler(world, [](sim::SimCard& c) { c.sensors.at(0).currentC = 90; c.tuning.coolers.at(0).defaultLevel = 45; });
        world.window->Monitor().OnTimer();
        EXPECT_TRUE(FanAutomatic(world));
        EXPECT_EQ(world.window->Page().fan.pos, 45);
        EXPECT_EQ(world.window->Controls().Slider(kIdFanSlider)->GetPos(), 45);
        EXPECT_EQ(tray.LastWarning(), trayHidden ? told : QString());
        EXPECT_EQ(world.prompts.notices, trayHidden ? QStringList() : QStringList{told});
        EXPECT_TRUE(world.prompts.warnings.isEmpty()) << "nothing that waits for an answer";
        world.window->Monitor().OnTimer();
        EXPECT_EQ(world.prompts.notices.size() + (tray.LastWarning().isEmpty() ? 0 : 1), 1) << "told once";
    }
}

// Quit hands the fixed fan back only when the option asks, and a refusal goes to standard error
// as no window is left to show it; Reset always hands it back and names a refusal.
TEST(MainWindowFans, QuitAndResetHandTheFixedFanBackAndNameARefusal)
{
    struct Case { const char* what; bool reset, option, refused; const char* told; };
    const std::string refusal = "automatic fan control: this card does not support it (status -104)";
    for (const Case c : {Case{"quit, option off", false, false, false, nullptr},
                         Case{"quit, option on", false, true, false, nullptr},
                         Case{"quit, option on, refused", false, true, true, "pyxtune: at exit GPU 0 refused "},
                         Case{"reset", true, false, false, nullptr},
                         Case{"reset, refused", true, false, true, "GPU 0 refused:\n  "}}) {
        SCOPED_TRACE(c.what);
        MainWindowWorld world(ScenarioText("fan-type0-library.json"));
        world.core->options.fansAutomaticOnExit = c.option;
        OpenWithTheFanFixed(world);
        if (c.refused)
            world.simLib->SetUnsupported(NvOpId(NvOp::RestoreCoolerSettings));
        const size_t mark = world.Trace().size();
        testing::internal::CaptureStderr();
        c.reset ? world.Click(kIdReset) : world.window->Tray().QuitAction()->trigger();
        std::string told = testing::internal::GetCapturedStderr();
        told += world.prompts.warnings.join('\n').toStdString();
        EXPECT_TRUE(c.told ? told.find(c.told + refusal) != std::string::npos : told.empty()) << told;
        EXPECT_EQ(world.quitCalls, c.reset ? 0 : 1);
        EXPECT_EQ(FanAutomatic(world), (c.reset || c.option) && !c.refused);
        EXPECT_EQ(world.Changes(mark, {"RestoreCoolerSettings"}).size(), c.reset || c.option ? 1u : 0u);
        const size_t after = world.Trace().size();
        EndProgram(*world.core);
        EXPECT_TRUE(world.Changes(after).empty()) << "whatever else ends the program finds nothing left to hand back";
    }
}
