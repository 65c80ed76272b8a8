// A settings file the window cannot write is said with the system's reason: beside the
// notification-area icon while the window is hidden there, and in the window once it is shown;
// in a box at once where the window is on screen or there is no notification area.
#ifndef _WIN32

#include "MainWindowTestWorld.h"

#include "tests/support/TempFolder.h"
#include "tests/support/linux/FileSizeLimit.h"
#include "ui/main/MainWindowLayout.h"
#include "ui/main/TrayIcon.h"

using namespace pyx;

namespace {

QString CannotBeWritten(const char* name)
{
    return QString::fromUtf8(name) + QStringLiteral(" cannot be written: ") +
           QString::fromStdString(test::FileSizeLimit::Reason());
}

TEST(MainWindowSaveFailure, AFileTheWindowCannotWriteIsSaidWithItsReason)
{
    struct Case {
        const char* what;
        const char* scenario;  // null: the default card
        bool tray;
        bool applyLighting;    // else the hide saves
        const char* file;
    };
    for (const Case& c : {Case{"hidden to the notification area", nullptr, true, false, "Preformance.txt"},
                          Case{"minimised where there is none", nullptr, false, false, "Preformance.txt"},
                          Case{"lighting applied on two cards", "led-two-cards.json", true, true, "Led.txt"}}) {
        SCOPED_TRACE(c.what);
        MainWindowWorld world(c.scenario ? ScenarioText(c.scenario) : sim::SimScenario::DefaultJson());
        world.trayAvailable = c.tray;
        ASSERT_TRUE(world.Open());
        {
            const test::FileSizeLimit full(64);
            ASSERT_TRUE(full.Active());
            world.Click(c.applyLighting ? kIdPerformance : kIdHide);
            if (c.applyLighting) world.Click(kIdApply);
        }
        const QString said = CannotBeWritten(c.file);
        const bool inTray = c.tray && !c.applyLighting;
        EXPECT_EQ(world.window->Tray().LastWarning(), inTray ? said : QString());
        EXPECT_EQ(world.prompts.notices, inTray ? QStringList{} : QStringList{said});
        world.window->ShowFromTray(false);
        world.window->ShowFromTray(false);
        EXPECT_EQ(world.prompts.notices, QStringList{said}) << "said in the window, once";
        if (c.applyLighting) {  // the kept tuning could not be saved either
            EXPECT_TRUE(world.prompts.warnings.size() == 1 &&
                        world.prompts.warnings[0].endsWith(CannotBeWritten("Preformance.txt")))
                << world.prompts.warnings.join(u'|').toStdString();
        }
    }
}

// Where the settings folder is not safe to use, the window says why once, at its start, and
// saves nothing anywhere: neither on hiding, nor the kept tuning, nor the lighting of two cards
// for the LED service; nothing in the program's own folder instead.
TEST(MainWindowSaveFailure, WithoutASettingsFolderTheWindowSaysWhyOnceAndSavesNothing)
{
    for (const bool tray : {true, false}) {
        SCOPED_TRACE(tray ? "with a notification area" : "without one");
        const test::TempFolder elsewhere("pyx-elsewhere-");
        MainWindowWorld world(ScenarioText("led-two-cards.json"), "", [&](const std::filesystem::path& folder) {
            std::filesystem::create_directory_symlink(elsewhere.Path(), folder / "simulated");
        });
        world.trayAvailable = tray;
        ASSERT_TRUE(world.Open());
        const QString said = QStringLiteral("Settings are not used: %1 is a link")
                                 .arg(QString::fromStdString((world.folder / "simulated").string()));
        EXPECT_EQ(world.window->Tray().LastWarning(), tray ? said : QString());
        EXPECT_EQ(world.prompts.notices, tray ? QStringList{} : QStringList{said});
        world.Click(kIdPerformance);
        world.Click(kIdApply);
        world.Click(kIdHide);
        world.window->ShowFromTray(false);
        EXPECT_EQ(world.prompts.notices, tray ? QStringList{} : QStringList{said}) << "said once";
        EXPECT_TRUE(world.prompts.warnings.isEmpty()) << world.prompts.warnings.join(u'|').toStdString();
        EXPECT_TRUE(std::filesystem::is_empty(elsewhere.Path()));
        for (const char* name : {"Preformance.txt", "Led.txt", "Options.txt", "setupledservices.sh"})
            EXPECT_FALSE(std::filesystem::exists(world.folder / name)) << name;
    }
}

}  // namespace

#endif
